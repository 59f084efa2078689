// What follows a completed run: hang-up, shutdown with the one-time start, or the log.
#include "TestEnv.h"
#include "core/download/AfterDownloadActions.h"
#include "core/session/AppSettings.h"
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
    const QStringList none;
    QTest::newRow("hang up, then the log") << "True"
                                           << "False" << QStringList{"hangup"} << true;
    QTest::newRow("shutdown only") << "False"
                                   << "True" << QStringList{"poweroff"} << false;
    QTest::newRow("never stored") << ""
                                  << "" << none << true;
    QTest::newRow("both, hang-up first") << "True"
                                         << "True" << QStringList{"hangup", "poweroff"} << false;
    QTest::newRow("any case and numbers") << "tRUE"
                                          << "0" << QStringList{"hangup"} << true;
    QTest::newRow("a number is true") << "0"
                                      << "-1" << QStringList{"poweroff"} << false;
    QTest::newRow("an empty text is stored as a blank") << " "
                                                        << " " << none << true;
    QTest::newRow("not a Boolean") << "yes"
                                   << "maybe" << none << true;
}

void tst_AfterDownloadActions::actions() {
    QFETCH(QString, disconnect);
    QFETCH(QString, shutdown);
    QFETCH(QStringList, calls);
    QFETCH(bool, logShown);
    TestEnv env;
    if (!disconnect.isEmpty())
        env.settings->WriteSetting(RegistryRoot::CurrentUser, AppSettings::kAppKey,
                                   QStringLiteral("disconnect"), disconnect);
    if (!shutdown.isEmpty())
        env.settings->WriteSetting(RegistryRoot::CurrentUser, AppSettings::kAppKey,
                                   QStringLiteral("shutdown"), shutdown);
    int shown = 0;
    AfterDownload::RunAfterDownloadActions(env.ctx, [&] {
        ++shown;
        QCOMPARE(env.actions.calls.count(QStringLiteral("poweroff")), 0);
        env.programEnd.EndProgram(); // as the log window does when it closes
    });
    QCOMPARE(env.actions.calls, calls);
    QCOMPARE(shown, logShown ? 1 : 0);
    QCOMPARE(env.programEnd.endCount(), 1);

    const QString runOnce = env.settings->ReadSetting(
        RegistryRoot::CurrentUser, AppSettings::kRunOnceKey, QStringLiteral("Kavro"));
    const QString entry = env.configHome() + QStringLiteral("autostart/kavro-runonce.desktop");
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
    QTest::addColumn<QString>("command");
    QTest::newRow("folder") << "/opt/kavro"
                            << "/opt/kavro/kavro /showlog";
    QTest::newRow("ends in a slash") << "/opt/kavro/"
                                     << "/opt/kavro/kavro /showlog";
    QTest::newRow("the root") << "/"
                              << "/kavro /showlog";
    QTest::newRow("blanks stay unquoted") << "/opt/My Games"
                                          << "/opt/My Games/kavro /showlog";
}

void tst_AfterDownloadActions::runOnceCommand() {
    QFETCH(QString, folder);
    QFETCH(QString, command);
    QCOMPARE(AfterDownload::RunOnceCommand(folder), command);
}

void tst_AfterDownloadActions::autostartEntryQuotesThePath() {
    const QString text =
        AfterDownload::autostartEntryText(QStringLiteral("/home/x/My \"Apps\" 100%"));
    QVERIFY2(text.contains(QStringLiteral(
                 "\nExec=\"/home/x/My \\\\\"Apps\\\\\" 100%%/kavro\" /showlog /runonce\n")),
             qPrintable(text));
}

void tst_AfterDownloadActions::desktopActionsRunTheOverrides() {
    TestEnv env; // points both overrides at a recorder writing into actions.log
    DesktopActions actions;
    actions.hangUp();
    actions.powerOff();
    QFile log(env.actionsLog());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), QByteArray("hangup\nshutdown\n"));
}

QTEST_GUILESS_MAIN(tst_AfterDownloadActions)
#include "tst_AfterDownloadActions.moc"
