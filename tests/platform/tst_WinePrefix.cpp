#include "platform/WineLaunchers.h"
#include "platform/WinePrefix.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kGameKey = QStringLiteral("Software\\Electronic Arts\\Need For Speed High Stakes\\");

// A prefix with drive_c, the usual "c:" link and the given system.reg text.
void makePrefix(const QString& prefix, const QByteArray& systemReg) {
    QDir().mkpath(prefix + "/drive_c/Program Files/EA GAMES/NFS High Stakes");
    QDir().mkpath(prefix + "/dosdevices");
    QFile::link("../drive_c", prefix + "/dosdevices/c:");
    QFile f(prefix + "/system.reg");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n");
    f.write(systemReg);
}

} // namespace

class tst_WinePrefix : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void installFolder_data() {
        QTest::addColumn<QByteArray>("systemReg");
        QTest::addColumn<QString>("expected"); // below the prefix; "" for not found
        const QByteArray key = "[Software\\\\Electronic Arts\\\\Need For Speed High Stakes] "
                               "1597923456\n#time=1d6f1a2b3c4d5e6\n";
        QTest::newRow("plain key")
            << key + "\"InstallPath\"=\"C:\\\\Program Files\\\\EA GAMES\\\\NFS High Stakes\"\n"
            << "drive_c/Program Files/EA GAMES/NFS High Stakes";
        QTest::newRow("other case, trailing backslash")
            << QByteArray("[software\\\\electronic arts\\\\need for speed high stakes] 1\n"
                          "\"installpath\"=\"c:\\\\PROGRAM FILES\\\\ea games\\\\nfs high "
                          "stakes\\\\\"\n")
            << "drive_c/Program Files/EA GAMES/NFS High Stakes/";
        QTest::newRow("Wow6432Node")
            << QByteArray("[Software\\\\Wow6432Node\\\\Electronic Arts\\\\Need For Speed High "
                          "Stakes] 1\n\"InstallPath\"=\"C:\\\\Program Files\\\\EA GAMES\\\\NFS "
                          "High Stakes\"\n")
            << "drive_c/Program Files/EA GAMES/NFS High Stakes";
        QTest::newRow("expandable, other values around")
            << key + "\"Language\"=\"English\"\n\"InstallPath\"=str(2):\"C:\\\\Program "
                     "Files\\\\EA GAMES\\\\NFS High Stakes\"\n\"Version\"=dword:00000004\n"
            << "drive_c/Program Files/EA GAMES/NFS High Stakes";
        QTest::newRow("drive not mapped") << key + "\"InstallPath\"=\"D:\\\\NFS\"\n"
                                          << "";
        QTest::newRow("value in another key")
            << QByteArray("[Software\\\\Electronic Arts\\\\Need For Speed] 1\n"
                          "\"InstallPath\"=\"C:\\\\\"\n")
            << "";
        QTest::newRow("empty value") << key + "\"InstallPath\"=\"\"\n"
                                     << "";
        QTest::newRow("cut file") << key + "\"InstallPath\"=\"C:\\\\Prog"
                                  << "";
    }
    void installFolder() {
        QFETCH(QByteArray, systemReg);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString prefix = dir.path() + "/wine";
        makePrefix(prefix, systemReg);
        const QString found = WinePrefix(prefix).installFolder(kGameKey);
        if (expected.isEmpty())
            QCOMPARE(found, QString());
        else
            QCOMPARE(found, QFileInfo(prefix).canonicalFilePath() + u'/' + expected);
    }

    void escapesAreUndone() {
        QTemporaryDir dir;
        const QString prefix = dir.path() + "/wine";
        makePrefix(prefix, "[Software\\\\K\\\\Sub] 1\n"
                           "\"a\\\"b\"=\"x\\\\y \\\"q\\\" caf\\x00e9 \\x20ac\\t|\"\n"
                           "@=\"default\"\n");
        const WinePrefix wine(prefix);
        QCOMPARE(wine.readMachineText("Software\\K\\Sub", "a\"b"),
                 QString::fromUtf8("x\\y \"q\" café €\t|"));
        QCOMPARE(wine.readMachineText("software\\k\\sub\\", ""), "default");
        QCOMPARE(wine.readMachineText("Software\\K", "a\"b"), QString());
    }

    void windowsPathsBecomeLinuxPaths() {
        QTemporaryDir dir;
        const QString prefix = dir.path() + "/wine";
        makePrefix(prefix, "");
        QFile::link("/", prefix + "/dosdevices/z:");
        const WinePrefix wine(prefix);
        const QString c = QFileInfo(prefix + "/drive_c").canonicalFilePath();
        QCOMPARE(wine.toLinuxPath("C:\\"), c + "/");
        QCOMPARE(wine.toLinuxPath("c:\\program files\\Missing\\Deeper"),
                 c + "/Program Files/Missing/Deeper");
        QCOMPARE(wine.toLinuxPath("Z:\\usr\\share"), QString("/usr/share"));
        QCOMPARE(wine.toLinuxPath("\\\\?\\unix\\opt\\nfs"), QString("/opt/nfs"));
        QCOMPARE(wine.toLinuxPath("E:\\x"), QString());
        QCOMPARE(wine.toLinuxPath("relative\\x"), QString());
    }

    void defaultFolderFollowsWinePrefix() {
        const QByteArray saved = qgetenv("WINEPREFIX");
        qputenv("WINEPREFIX", "/opt/prefix");
        QCOMPARE(WinePrefix::defaultFolder(), "/opt/prefix");
        qunsetenv("WINEPREFIX");
        QCOMPARE(WinePrefix::defaultFolder(), QDir::homePath() + "/.wine");
        if (!saved.isNull())
            qputenv("WINEPREFIX", saved);
    }

    void lutrisPrefix_data() {
        QTest::addColumn<QByteArray>("yaml");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("plain") << QByteArray("game:\n  exe: x.exe\n  prefix: /g/nfs\nname: NFS\n")
                               << "/g/nfs";
        QTest::newRow("single quotes")
            << QByteArray("game:\n  prefix: '/g/it''s nfs'\n") << "/g/it's nfs";
        QTest::newRow("double quotes, CR LF")
            << QByteArray("game:\r\n  prefix: \"/g/a b\"\r\n") << "/g/a b";
        QTest::newRow("home") << QByteArray("game:\n  prefix: ~/Games/nfs # comment\n")
                              << "/home/p/Games/nfs";
        QTest::newRow("other section's prefix")
            << QByteArray("wine:\n  prefix: /w\ngame:\n  exe: x.exe\nsystem:\n  prefix: /s\n")
            << "";
        QTest::newRow("deeper key, then the game's")
            << QByteArray("game:\n  args:\n    prefix: /deep\n  prefix: /g/nfs\n") << "/g/nfs";
        QTest::newRow("not YAML") << QByteArray("\0\xff garbage") << "";
    }
    void lutrisPrefix() {
        QFETCH(QByteArray, yaml);
        QFETCH(QString, prefix);
        QCOMPARE(WineLaunchers::lutrisPrefix(yaml, "/home/p"), prefix);
    }
};

QTEST_GUILESS_MAIN(tst_WinePrefix)
#include "tst_WinePrefix.moc"
