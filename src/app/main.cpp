#include "core/session/CommandLine.h"
#include "core/session/InstanceChannel.h"
#include "gui/ClassicFont.h"
#include "gui/HandOffReceiver.h"
#include "gui/ProgramServices.h"
#include "gui/Startup.h"
#include "platform/EndSignals.h"
#include "platform/OnlineCheck.h"

#include <QApplication>
#include <QNetworkProxyFactory>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    // --help and --version are answered before any window system is asked for, and touch nothing.
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (CommandLine::asksForHelp(argument) || CommandLine::asksForVersion(argument)) {
            const QString text = CommandLine::asksForHelp(argument) ? CommandLine::helpText()
                                                                    : CommandLine::versionText();
            std::fputs(text.toLocal8Bit().constData(), stdout);
            return 0;
        }
    }

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
    ctx.missingZips = CommandLine::missingZips(args);
    ctx.links = CommandLine::links(args);

    // One Kavro per user: a start with nothing but car ZIPs, links or no argument at all hands
    // them to the Kavro that runs and ends; the first such start takes that work from the next.
    // The other roads (the switches) keep to themselves, as before.
    InstanceChannel channel;
    std::unique_ptr<HandOffReceiver> receiver;
    if (ctx.missingZips.isEmpty() && ctx.commandLine.trimmed().isEmpty()) {
        QString problem;
        switch (channel.claim(&problem)) {
        case InstanceChannel::Claim::Running:
            if (channel.handOff(ctx.zipFiles, ctx.links))
                return 0;
            // The running Kavro did not answer: this start goes on, and its work folder says
            // whether it may.
            qWarning().noquote() << QStringLiteral("kavro: the running Kavro did not answer");
            break;
        case InstanceChannel::Claim::First:
            if (channel.listen(&problem)) {
                ctx.instance = &channel;
                receiver = std::make_unique<HandOffReceiver>(ctx, channel);
            } else {
                qWarning().noquote()
                    << QStringLiteral("kavro: later starts cannot reach this one: ") + problem;
            }
            break;
        case InstanceChannel::Claim::Unavailable:
            qWarning().noquote() << QStringLiteral("kavro: later starts cannot reach this one: ") +
                                        problem;
            break;
        }
    }

    // The end of a session (logout, a closed terminal, Ctrl+C) is a confirmed Cancel without the
    // question: it is taken from the event loop, so a car's copies that run without yielding
    // finish first, while a car still being unpacked is given up (nothing of it is in the game
    // yet). No box waits, no after-download action runs; the work folder's lock is released. The
    // exit status is 128 + the signal's number, as shells report an end by a signal.
    ProgramEnd& programEnd = services.programEnd;
    EndSignals::install([&programEnd](int signal) {
        if (programEnd.ended())
            return;
        qWarning().noquote() << QStringLiteral("kavro: ended by %1")
                                    .arg(QString::fromLatin1(EndSignals::name(signal)));
        programEnd.endWithStatus(128 + signal);
    });

    Startup startup(ctx);
    startup.run();
    return app.exec();
}
