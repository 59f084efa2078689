#include "core/session/CommandLine.h"
#include "gui/ClassicFont.h"
#include "gui/ProgramServices.h"
#include "gui/Startup.h"
#include "platform/EndSignals.h"
#include "platform/OnlineCheck.h"

#include <QApplication>
#include <QNetworkProxyFactory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kavro"));
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    // Every window, message boxes included, is laid out for the classic 8-point dialog font.
    QApplication::setFont(ClassicFont(8.25));

    ProgramServices services;
    AppContext& ctx = services.ctx;
    ctx.systemOnline = &OnlineCheck::systemAnswer;
    QStringList args = QCoreApplication::arguments();
    if (!args.isEmpty())
        args.removeFirst();
    ctx.commandLine = CommandLine::switchText(args);
    ctx.zipFiles = CommandLine::zipFiles(args);
    ctx.links = CommandLine::links(args);

    // The end of a session (logout, a closed terminal, Ctrl+C) is a confirmed Cancel without the
    // question: it is taken from the event loop, so a car's copies that run without yielding
    // finish first, while a car still being unpacked is given up (nothing of it is in the game
    // yet). No box waits, no after-download action runs; the work folder's lock is released.
    ProgramEnd& programEnd = services.programEnd;
    EndSignals::install([&programEnd](int signal) {
        if (programEnd.ended())
            return;
        qWarning().noquote() << QStringLiteral("kavro: ended by %1")
                                    .arg(QString::fromLatin1(EndSignals::name(signal)));
        programEnd.EndProgram();
    });

    Startup startup(ctx);
    startup.run();
    return app.exec();
}
