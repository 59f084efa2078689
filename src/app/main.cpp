#include "core/session/AppContext.h"
#include "core/session/Session.h"
#include "gui/ClassicFont.h"
#include "gui/QtMessageBoxService.h"
#include "gui/Startup.h"
#include "platform/Clock.h"
#include "platform/DesktopActions.h"
#include "platform/EndSignals.h"
#include "platform/OnlineCheck.h"
#include "platform/ProgramEnd.h"
#include "platform/SettingsStore.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kavro"));
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    // Every window, message boxes included, is laid out for the classic 8-point dialog font.
    QApplication::setFont(ClassicFont(8.25));

    Session session;
    SettingsStore settings(SettingsStore::defaultPath());
    QtMessageBoxService prompts;
    ProgramEnd programEnd(false);
    Clock clock;
    DesktopActions actions;
    QNetworkAccessManager network;

    AppContext ctx;
    ctx.session = &session;
    ctx.settings = &settings;
    ctx.prompts = &prompts;
    ctx.programEnd = &programEnd;
    ctx.clock = &clock;
    ctx.actions = &actions;
    ctx.network = &network;
    ctx.programFolder = QCoreApplication::applicationDirPath();
    ctx.programFile = QCoreApplication::applicationFilePath();
    ctx.systemOnline = &OnlineCheck::systemAnswer;
    QStringList args = QCoreApplication::arguments();
    if (!args.isEmpty())
        args.removeFirst();
    ctx.commandLine = args.join(u' ');

    // The end of a session (logout, a closed terminal, Ctrl+C) is a confirmed Cancel without the
    // question: it is taken from the event loop, so a car's copies that run without yielding
    // finish first, while a car still being unpacked is given up (nothing of it is in the game
    // yet). No box waits, no after-download action runs; the work folder's lock is released.
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
