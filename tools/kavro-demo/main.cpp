// kavro-demo make DIR   builds a demo world in DIR (htdocs, game, config)
// kavro-demo serve DIR [PORT] [--zip-rate KBPS]   serves DIR/htdocs on 127.0.0.1 and prints the
//     base URL; car ZIPs go out at KBPS kilobytes a second (default 400, 0 = as fast as possible)
#include "DemoServer.h"
#include "DemoWorld.h"

#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream err(stderr);
    if (args.size() >= 3 && args[1] == QLatin1String("make")) {
        QString error;
        if (!DemoWorld::make(args[2], &error)) {
            err << "kavro-demo: " << error << "\n";
            return 1;
        }
        return 0;
    }
    if (args.size() >= 3 && args[1] == QLatin1String("serve")) {
        quint16 port = 0;
        int zipRate = 400;
        for (int i = 3; i < args.size(); ++i) {
            if (args[i] == QLatin1String("--zip-rate") && i + 1 < args.size())
                zipRate = args[++i].toInt();
            else
                port = quint16(args[i].toUInt());
        }
        DemoServer server(args[2] + QStringLiteral("/htdocs"), zipRate);
        if (!server.listen(port)) {
            err << "kavro-demo: cannot listen on 127.0.0.1:" << port << "\n";
            return 1;
        }
        std::printf("%s\n", qPrintable(server.baseUrl()));
        std::fflush(stdout);
        return app.exec();
    }
    err << "usage: kavro-demo make DIR | kavro-demo serve DIR [PORT] [--zip-rate KBPS]\n";
    return 2;
}
