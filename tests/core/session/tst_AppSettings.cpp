#include "core/session/AppSettings.h"

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace AppSettings;

class tst_AppSettings : public QObject {
    Q_OBJECT
private:
    // A Wine prefix whose registry names the game at C:\<label>\NFSHS. kind: "wineprefix",
    // "wine", "lutris", "bottles", "flatpak" (Bottles' Flatpak), "pol"; then "-gone" (the folder
    // named does not exist), "-nodata" (no Data folder in it) or "-lowerdata" ("data").
    // Returns the game folder it names.
    static QString makePrefix(TestEnv& env, const QString& spec) {
        const QString kind = spec.section('-', 0, 0), state = spec.section('-', 1);
        const QString home = env.root() + "home";
        QString prefix = env.root() + kind;
        if (kind == "wineprefix")
            qputenv("WINEPREFIX", prefix.toLocal8Bit());
        else if (kind == "wine")
            prefix = home + "/.wine";
        else if (kind == "lutris")
            env.writeFile(home + "/.config/lutris/games/nfs-high-stakes-1.yml",
                          "game:\n  exe: drive_c/lutris/NFSHS/nfshs.exe\n  prefix: " +
                              prefix.toUtf8() + "\nname: NFS\nrunner: wine\n");
        else if (kind == "bottles")
            prefix = home + "/.local/share/bottles/bottles/NFS";
        else if (kind == "flatpak")
            prefix = home + "/.var/app/com.usebottles.bottles/data/bottles/bottles/NFS";
        else if (kind == "pol")
            prefix = home + "/.PlayOnLinux/wineprefix/NFSHS";
        QDir().mkpath(prefix + "/dosdevices");
        QFile::link("../drive_c", prefix + "/dosdevices/c:");
        const QString game = prefix + "/drive_c/" + kind + "/NFSHS";
        if (state != "gone")
            QDir().mkpath(game + (state == "nodata"      ? ""
                                  : state == "lowerdata" ? "/data"
                                                         : "/Data"));
        env.writeFile(prefix + "/system.reg",
                      "WINE REGISTRY Version 2\n\n[Software\\\\Electronic Arts\\\\Need For Speed "
                      "High Stakes] 1\n\"InstallPath\"=\"C:\\\\" +
                          kind.toUtf8() + "\\\\NFSHS\"\n");
        QDir().mkpath(prefix + "/drive_c");
        return QFileInfo(prefix + "/drive_c").canonicalFilePath() + "/" + kind + "/NFSHS";
    }

private Q_SLOTS:
    void gameFolder_data() {
        QTest::addColumn<QString>("stored"); // "<none>": no value; "<game>": the test's game;
                                             // "<home>": the home folder (no Data in it)
        QTest::addColumn<QStringList>("prefixes");
        QTest::addColumn<QString>("expected"); // "<game>", a prefix's kind, or "" (not found)
        const QStringList none;
        QTest::newRow("store only") << "<game>" << none << "<game>";
        QTest::newRow("store wins over Wine") << "<game>" << QStringList{"wine"} << "<game>";
        QTest::newRow("store names a folder that does not exist")
            << "/nonexistent/nfshs" << QStringList{"wine"} << "";
        QTest::newRow("store names a folder without Data") << "<home>" << none << "";
        QTest::newRow("blank store value, Wine") << " " << QStringList{"wine"} << "wine";
        QTest::newRow("nothing anywhere") << "<none>" << none << "";
        QTest::newRow("over 1024 bytes counts as missing") << QString(1100, u'a') << none << "";
        QTest::newRow("WINEPREFIX before ~/.wine")
            << "<none>" << QStringList{"wine", "wineprefix"} << "wineprefix";
        QTest::newRow("~/.wine before the launchers")
            << "<none>" << QStringList{"pol", "bottles", "lutris", "wine"} << "wine";
        QTest::newRow("a folder that is gone: the next prefix")
            << "<none>" << QStringList{"wineprefix-gone", "lutris"} << "lutris";
        QTest::newRow("no Data folder: the next prefix")
            << "<none>" << QStringList{"wine-nodata", "bottles"} << "bottles";
        QTest::newRow("Data in another case")
            << "<none>" << QStringList{"wine-lowerdata"} << "wine";
        QTest::newRow("Lutris before Bottles")
            << "<none>" << QStringList{"bottles", "lutris"} << "lutris";
        QTest::newRow("Bottles before its Flatpak")
            << "<none>" << QStringList{"flatpak", "bottles"} << "bottles";
        QTest::newRow("Bottles' Flatpak") << "<none>" << QStringList{"flatpak"} << "flatpak";
        QTest::newRow("PlayOnLinux last")
            << "<none>" << QStringList{"pol", "flatpak-gone"} << "pol";
        QTest::newRow("every prefix names a missing folder")
            << "<none>" << QStringList{"wine-gone", "lutris-nodata", "pol-gone"} << "";
    }
    void gameFolder() {
        QFETCH(QString, stored);
        QFETCH(QStringList, prefixes);
        QFETCH(QString, expected);
        TestEnv env;
        QString game = env.gamePath();
        game.chop(1);
        if (stored == "<game>")
            stored = game;
        if (stored == "<home>")
            stored = env.root() + "home";
        if (stored != "<none>")
            env.settings->WriteSetting(RegistryRoot::LocalMachine, kGameKey, "InstallPath", stored);
        QHash<QString, QString> folders{{"<game>", game}, {"", ""}};
        for (const QString& p : prefixes)
            folders.insert(p.section('-', 0, 0), makePrefix(env, p));
        QString looked;
        QCOMPARE(ReadGameFolder(env.ctx, &looked), folders.value(expected));
        if (expected.isEmpty())
            QVERIFY2(!looked.isEmpty(), "the terminal line says where the game was looked for");
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

    void connected_data() {
        QTest::addColumn<QByteArray>("stored"); // "Remote Connection"; null: no value
        QTest::addColumn<int>("system");        // the system's answer: 1, 0, -1 none, -2 no probe
        QTest::addColumn<QByteArray>("route");  // the routing table; null: none
        QTest::addColumn<bool>("pppUp");
        QTest::addColumn<bool>("connected");
        const QByteArray head =
            "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU"
            "\tWindow\tIRTT\n";
        const QByteArray byDefault = head + "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0"
                                            "\t0\t0\n";
        const QByteArray local =
            head + "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
        const QByteArray down =
            head + "eth0\t00000000\t010200C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n";
        const QByteArray none;
        QTest::newRow("first byte 1, then anything")
            << QByteArray("\x01\x07\x00", 3) << 0 << none << false << true;
        QTest::newRow("first byte 0, online anyway")
            << QByteArray("\x00\x01", 2) << 1 << byDefault << true << false;
        QTest::newRow("first byte 2") << QByteArray("\x02", 1) << 1 << none << false << false;
        QTest::newRow("no value, the system says online") << none << 1 << none << false << true;
        QTest::newRow("no value, the system says offline")
            << none << 0 << byDefault << true << false;
        QTest::newRow("no answer, default route") << none << -1 << byDefault << false << true;
        QTest::newRow("no probe, default route") << none << -2 << byDefault << false << true;
        QTest::newRow("no answer, local route only") << none << -1 << local << false << false;
        QTest::newRow("no answer, default route not up") << none << -1 << down << false << false;
        QTest::newRow("no answer, PPP up") << none << -1 << local << true << true;
        QTest::newRow("no answer, nothing") << none << -2 << none << false << false;
        QTest::newRow("no answer, routing table garbage")
            << none << -1 << QByteArray("x\nppp0 zz yy 1 0 0 0 zz\n") << false << false;
    }
    void connected() {
        QFETCH(QByteArray, stored);
        QFETCH(int, system);
        QFETCH(QByteArray, route);
        QFETCH(bool, pppUp);
        QFETCH(bool, connected);
        TestEnv env;
        if (!stored.isNull())
            env.settings->writeValue(RegistryRoot::LocalMachine, kRemoteAccessKey,
                                     "Remote Connection", SettingsStore::Type::Binary, stored);
        if (system != -2)
            env.ctx.systemOnline = [system] {
                return system < 0 ? std::nullopt : std::optional<bool>(system == 1);
            };
        if (!route.isNull())
            env.writeFile(env.ctx.routeFile, route);
        if (pppUp)
            env.writeFile(env.ctx.netClassFolder + "/ppp0/flags", "0x1091\n");
        QCOMPARE(IsConnected(env.ctx), connected);
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
