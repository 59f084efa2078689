#include "core/session/AppSettings.h"

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace AppSettings;

class tst_AppSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void gameFolder_data() {
        QTest::addColumn<QString>("stored"); // "<none>": no value
        QTest::addColumn<bool>("wine");
        QTest::addColumn<QString>("expected"); // "<wine>": the folder in the prefix
        QTest::newRow("store only") << "/games/nfshs" << false << "/games/nfshs";
        QTest::newRow("store wins over Wine") << "/games/nfshs" << true << "/games/nfshs";
        QTest::newRow("Wine only") << "<none>" << true << "<wine>";
        QTest::newRow("blank store value, Wine") << " " << true << "<wine>";
        QTest::newRow("nothing anywhere") << "<none>" << false << "";
        QTest::newRow("over 1024 bytes counts as missing") << QString(1100, u'a') << false << "";
    }
    void gameFolder() {
        QFETCH(QString, stored);
        QFETCH(bool, wine);
        QFETCH(QString, expected);
        TestEnv env;
        if (stored != "<none>")
            env.settings->WriteSetting(RegistryRoot::LocalMachine, kGameKey, "InstallPath", stored);
        const QString prefix = env.root() + "prefix";
        if (wine) {
            QDir().mkpath(prefix + "/drive_c/NFSHS");
            QDir().mkpath(prefix + "/dosdevices");
            QFile::link("../drive_c", prefix + "/dosdevices/c:");
            env.writeFile(prefix + "/system.reg",
                          "WINE REGISTRY Version 2\n\n[Software\\\\Electronic Arts\\\\Need For "
                          "Speed High Stakes] 1\n\"InstallPath\"=\"C:\\\\NFSHS\"\n");
            qputenv("WINEPREFIX", prefix.toLocal8Bit());
        }
        if (expected == "<wine>")
            expected = QFileInfo(prefix + "/drive_c").canonicalFilePath() + "/NFSHS";
        QCOMPARE(ReadGameFolder(env.ctx), expected);
    }

    void winZipCommand_data() {
        QTest::addColumn<QString>("stored"); // "<none>": no value
        QTest::addColumn<QString>("expected");
        QTest::newRow("registered") << "\"/opt/wz/wz\" \"%1\""
                                    << "\"/opt/wz/wz\" \"%1\"";
        QTest::newRow("not registered: our extractor")
            << "<none>"
            << "\"" KAVRO_BIN_DIR "/kavro-unzip\" \"%1\"";
        QTest::newRow("empty value is missing") << ""
                                                << "";
    }
    void winZipCommand() {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        TestEnv env;
        if (stored != "<none>")
            env.settings->WriteSetting(RegistryRoot::ClassesRoot, kWinZipKey, "", stored);
        QCOMPARE(ReadWinZipCommand(env.ctx), expected);
    }

    void dialUp_data() {
        QTest::addColumn<QByteArray>("stored"); // null: no value
        QTest::addColumn<bool>("pppUp");
        QTest::addColumn<bool>("connected");
        QTest::newRow("first byte 1, then anything")
            << QByteArray("\x01\x07\x00", 3) << false << true;
        QTest::newRow("first byte 0") << QByteArray("\x00\x01", 2) << true << false;
        QTest::newRow("first byte 2") << QByteArray("\x02", 1) << false << false;
        QTest::newRow("no value, PPP up") << QByteArray() << true << true;
        QTest::newRow("no value, no PPP") << QByteArray() << false << false;
    }
    void dialUp() {
        QFETCH(QByteArray, stored);
        QFETCH(bool, pppUp);
        QFETCH(bool, connected);
        TestEnv env;
        if (!stored.isNull())
            env.settings->writeValue(RegistryRoot::LocalMachine, kRemoteAccessKey,
                                     "Remote Connection", SettingsStore::Type::Binary, stored);
        if (pppUp)
            env.writeFile(env.ctx.netClassFolder + "/ppp0/flags", "0x1091\n");
        QCOMPARE(IsDialUpConnected(env.ctx), connected);
    }

    void recordStartStampsAndKeepsTheScreenshotChoice() {
        TestEnv env;
        env.useFixedClock();
        RecordStart(env.ctx);
        auto read = [&](const char* n) { return ReadAppSetting(env.ctx, QString::fromLatin1(n)); };
        QCOMPARE(read("installpath"), QString(KAVRO_BIN_DIR));
        QCOMPARE(read("appver"), QString::number(KAVRO_VERSION_REVISION));
        QCOMPARE(read("lastopen"), "8/30/2000 9:05:31 PM");
        QCOMPARE(read("loadss"), "1");
        QCOMPARE(LoadOptions(env.ctx), std::optional<bool>(true));

        SaveOptions(env.ctx, false, true, false);
        RecordStart(env.ctx);
        QCOMPARE(read("loadss"), "False");
        QCOMPARE(read("shutdown"), "True");
        QCOMPARE(read("disconnect"), "False");
        QCOMPARE(LoadOptions(env.ctx), std::optional<bool>(false));
    }

    void textToBoolean_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: does not convert
        QTest::newRow("True") << "True" << 1;
        QTest::newRow("false, any case") << "fALSE" << 0;
        QTest::newRow("one") << "1" << 1;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("minus one") << "-1" << 1;
        QTest::newRow("stored empty text") << " " << -1;
        QTest::newRow("word") << "yes" << -1;
    }
    void textToBoolean() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const auto b = toBoolean(text);
        QCOMPARE(b.has_value() ? int(*b) : -1, expected);
    }
};

QTEST_GUILESS_MAIN(tst_AppSettings)
#include "tst_AppSettings.moc"
