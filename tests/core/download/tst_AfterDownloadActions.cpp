// What follows a completed run: hang-up, shutdown with the one-time start, or the log.
#include "TestEnv.h"
#include "TestFiles.h"
#include "core/download/AfterDownloadActions.h"
#include "core/session/AppSettings.h"
#include "core/session/RunOnceEntry.h"
#include "platform/DesktopActions.h"

#include <QtTest>

class tst_AfterDownloadActions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void actions_data();
    void actions();
    void runOnceCommand_data();
    void runOnceCommand();
    void autostartEntryQuotesThePath();
    void desktopActionsRunTheOverrides();
};

void tst_AfterDownloadActions::actions_data() {
    QTest::addColumn<QString>("disconnect");
    QTest::addColumn<QString>("shutdown");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("logShown");
    QTest::addColumn<bool>("refused"); // the shutdown request is refused
    const QStringList none;
    QTest::newRow("hang up, then the log") << "True"
                                           << "False" << QStringList{"hangup"} << true << false;
    QTest::newRow("shutdown only") << "False"
                                   << "True" << QStringList{"poweroff"} << false << false;
    QTest::newRow("never stored") << ""
                                  << "" << none << true << false;
    QTest::newRow("both, hang-up first")
        << "True"
        << "True" << QStringList{"hangup", "poweroff"} << false << false;
    QTest::newRow("any case and numbers") << "tRUE"
                                          << "0" << QStringList{"hangup"} << true << false;
    QTest::newRow("a number is true") << "0"
                                      << "-1" << QStringList{"poweroff"} << false << false;
    QTest::newRow("an empty text is stored as a blank") << " "
                                                        << " " << none << true << false;
    QTest::newRow("not a Boolean") << "yes"
                                   << "maybe" << none << true << false;
    QTest::newRow("shutdown refused: the log instead")
        << "False"
        << "True" << QStringList{"poweroff"} << true << true;
    QTest::newRow("both, shutdown refused")
        << "True"
        << "True" << QStringList{"hangup", "poweroff"} << true << true;
}

void tst_AfterDownloadActions::actions() {
    QFETCH(QString, disconnect);
    QFETCH(QString, shutdown);
    QFETCH(QStringList, calls);
    QFETCH(bool, logShown);
    QFETCH(bool, refused);
    TestEnv env;
    env.actions.powerOffRefused = refused;
    const QByteArray log = "Car 1   :  Viper  |  OK\r\n";
    env.writeFile(env.workDir() + "DOWNLOAD.LOG", log);
    if (!disconnect.isEmpty())
        env.settings->WriteSetting(RegistryRoot::CurrentUser, AppSettings::kAppKey,
                                   QStringLiteral("disconnect"), disconnect);
    if (!shutdown.isEmpty())
        env.settings->WriteSetting(RegistryRoot::CurrentUser, AppSettings::kAppKey,
                                   QStringLiteral("shutdown"), shutdown);
    int shown = 0;
    AfterDownload::RunAfterDownloadActions(env.ctx, [&] {
        ++shown;
        QCOMPARE(env.actions.calls.count(QStringLiteral("poweroff")), refused ? 1 : 0);
        env.programEnd.EndProgram(); // as the log window does when it closes
    });
    QCOMPARE(env.actions.calls, calls);
    QCOMPARE(shown, logShown ? 1 : 0);
    QCOMPARE(env.programEnd.endCount(), 1);

    const QString runOnce = env.settings->ReadSetting(
        RegistryRoot::CurrentUser, AppSettings::kRunOnceKey, QStringLiteral("Kavro"));
    const QString entry = env.configHome() + QStringLiteral("autostart/kavro-runonce.desktop");
    // The copy the next logon shows survives a reboot that empties the work folder.
    QCOMPARE(TestFiles::readAll(RunOnceEntry::keptLogPath()), logShown ? QByteArray() : log);
    QVERIFY(RunOnceEntry::keptLogPath().startsWith(env.root() + "state/kavro/"));
    if (logShown) {
        QCOMPARE(runOnce, QString());
        QVERIFY(!QFile::exists(entry));
    } else {
        QCOMPARE(runOnce, QStringLiteral(KAVRO_BIN_DIR "/kavro /showlog"));
        QFile f(entry);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY2(
            text.contains(QStringLiteral("\nExec=" KAVRO_BIN_DIR "/kavro /showlog /runonce\n")),
            qPrintable(text));
        QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    }
}

void tst_AfterDownloadActions::runOnceCommand_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file"); // the program file that runs; empty: not known
    QTest::addColumn<QString>("command");
    QTest::newRow("the running file") << "/opt/kavro"
                                      << "/opt/kavro/kavro"
                                      << "/opt/kavro/kavro /showlog";
    QTest::newRow("a renamed program") << "/usr/games"
                                       << "/usr/games/kavro-1.0.42"
                                       << "/usr/games/kavro-1.0.42 /showlog";
    QTest::newRow("file not known: folder ends in a slash") << "/opt/kavro/"
                                                            << ""
                                                            << "/opt/kavro/kavro /showlog";
    QTest::newRow("file not known: the root") << "/"
                                              << ""
                                              << "/kavro /showlog";
    QTest::newRow("blanks stay unquoted") << "/opt/My Games"
                                          << "/opt/My Games/kavro"
                                          << "/opt/My Games/kavro /showlog";
}

void tst_AfterDownloadActions::runOnceCommand() {
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QFETCH(QString, command);
    AppContext ctx;
    ctx.programFolder = folder;
    ctx.programFile = file;
    QCOMPARE(AfterDownload::RunOnceCommand(AfterDownload::programFile(ctx)), command);
}

void tst_AfterDownloadActions::autostartEntryQuotesThePath() {
    const QString text =
        AfterDownload::autostartEntryText(QStringLiteral("/home/x/My \"Apps\" 100%/kavro"));
    QVERIFY2(text.contains(QStringLiteral(
                 "\nExec=\"/home/x/My \\\\\"Apps\\\\\" 100%%/kavro\" /showlog /runonce\n")),
             qPrintable(text));
}

void tst_AfterDownloadActions::desktopActionsRunTheOverrides() {
    TestEnv env; // points both overrides at a recorder writing into actions.log
    DesktopActions actions;
    actions.hangUp();
    QVERIFY(actions.powerOff());
    QFile log(env.actionsLog());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), QByteArray("hangup\nshutdown\n"));
    // A shutdown command that fails is a refused shutdown.
    qputenv("KAVRO_SHUTDOWN_COMMAND", "echo refused >&2; exit 1");
    QVERIFY(!actions.powerOff());
}

QTEST_GUILESS_MAIN(tst_AfterDownloadActions)
#include "tst_AfterDownloadActions.moc"
