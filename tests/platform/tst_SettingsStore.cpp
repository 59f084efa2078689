#include "TestFiles.h"
#include "platform/RegFile.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using TestFiles::readAll;

namespace {

const QString kKey = QStringLiteral("Software\\Brellum Inc\\Kavro");

void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray utf16WithMark(const QString& text) {
    return QByteArray("\xFF\xFE") +
           QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// Child mode: "--writer <store> <tag> <count>" writes <count> values named <tag>_<i>.
int runWriter(const QString& path, const QString& tag, int count) {
    SettingsStore store(path);
    for (int i = 0; i < count; ++i)
        if (!store.WriteSetting(RegistryRoot::CurrentUser, kKey, tag + u'_' + QString::number(i),
                                QString::number(i)))
            return 2;
    return 0;
}

} // namespace

class tst_SettingsStore : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_path;

private Q_SLOTS:
    void init() {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.path() + QStringLiteral("/kavro/registry.reg");
        QFile::remove(m_path);
        for (const QString& n : QDir(m_dir.path() + "/kavro").entryList(QDir::Files))
            QFile::remove(m_dir.path() + "/kavro/" + n);
    }

    void valuesReadBackByType_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text") << 1 << QByteArray("C:\\Games\\\"NFSHS\"") << "C:\\Games\\\"NFSHS\"";
        QTest::newRow("text, not Latin") << 1 << QString("Ünï €").toUtf8() << "Ünï €";
        QTest::newRow("text with line break") << 1 << QByteArray("a\r\nb") << "a\r\nb";
        QTest::newRow("text cut at zero") << 1 << QByteArray("ab\0cd", 5) << "ab";
        QTest::newRow("expandable, not expanded")
            << 2 << QByteArray("%TEMP%\\x\0", 9) << "%TEMP%\\x";
        QTest::newRow("binary 1 then more") << 3 << QByteArray("\x01\x00\x05", 3) << "\x01";
        QTest::newRow("binary 0 first") << 3 << QByteArray("\x00\x01", 2) << "";
        QTest::newRow("binary empty") << 3 << QByteArray() << "";
        QTest::newRow("number") << 4 << QByteArray("\x2a\x00\x00\x00", 4) << "42";
        QTest::newRow("number, all bits") << 4 << QByteArray("\xff\xff\xff\xff", 4) << "4294967295";
        QTest::newRow("other type") << 7 << QByteArray("a\0\0", 3) << "";
        QTest::newRow("1024 bytes") << 1 << QByteArray(1024, 'x') << QString(1024, u'x');
        QTest::newRow("1025 bytes") << 1 << QByteArray(1025, 'x') << "";
        QTest::newRow("binary 1025 bytes") << 3 << QByteArray(1025, '\x01') << "";
    }
    void valuesReadBackByType() {
        QFETCH(int, type);
        QFETCH(QByteArray, data);
        QFETCH(QString, expected);
        SettingsStore store(m_path);
        QVERIFY(store.writeValue(RegistryRoot::LocalMachine, "Some\\Key", "v",
                                 SettingsStore::Type(type), data));
        // A second store object reads the file afresh: nothing is cached.
        SettingsStore other(m_path);
        QCOMPARE(other.ReadSetting(RegistryRoot::LocalMachine, "Some\\Key", "v"), expected);
        const auto raw = other.readValue(RegistryRoot::LocalMachine, "Some\\Key", "v");
        QVERIFY(raw.has_value());
        QCOMPARE(raw->type, type);
        QCOMPARE(raw->data, data);
    }

    void emptyTextIsStoredAsOneSpace() {
        SettingsStore store(m_path);
        QVERIFY(store.WriteSetting(RegistryRoot::CurrentUser, kKey, "shutdown", QString()));
        QCOMPARE(store.ReadSetting(RegistryRoot::CurrentUser, kKey, "shutdown"), " ");
    }

    void namesAndKeysIgnoreCase() {
        SettingsStore store(m_path);
        QVERIFY(store.WriteSetting(RegistryRoot::CurrentUser, kKey, "LoadSS", "1"));
        QVERIFY(store.WriteSetting(RegistryRoot::CurrentUser, "SOFTWARE\\brellum inc\\KAVRO\\",
                                   "loadss", "False"));
        QCOMPARE(
            store.ReadSetting(RegistryRoot::CurrentUser, "software\\Brellum Inc\\kavro", "LOADSS"),
            "False");
        // One value, keeping the spelling it was created with.
        const QByteArray text = readAll(m_path);
        QCOMPARE(text.count("loadss\"") + text.count("LoadSS\""), 1);
        QVERIFY(text.contains("\"LoadSS\"=\"False\""));
        // Roots are separate.
        QCOMPARE(store.ReadSetting(RegistryRoot::LocalMachine, kKey, "loadss"), QString());
    }

    void defaultValueAndMissingThings() {
        SettingsStore store(m_path);
        QCOMPARE(store.ReadSetting(RegistryRoot::ClassesRoot, "WinZip\\shell\\open\\command", ""),
                 QString());
        QVERIFY(!QFile::exists(m_path)); // reading never creates the file
        QVERIFY(store.WriteSetting(RegistryRoot::ClassesRoot, "WinZip\\shell\\open\\command", "",
                                   "\"/opt/wz\" \"%1\""));
        QCOMPARE(store.ReadSetting(RegistryRoot::ClassesRoot, "WinZip\\shell\\open\\command", ""),
                 "\"/opt/wz\" \"%1\"");
        QVERIFY(!store.hasValue(RegistryRoot::ClassesRoot, "WinZip\\shell\\open\\command", "x"));
        QVERIFY(store.deleteValue(RegistryRoot::ClassesRoot, "WinZip\\shell\\open\\command", ""));
        QVERIFY(!store.deleteValue(RegistryRoot::ClassesRoot, "WinZip\\shell\\open\\command", ""));
        QVERIFY(!store.hasValue(RegistryRoot::ClassesRoot, "WinZip\\shell\\open\\command", ""));
    }

    void fileIsPlainRegedit4() {
        SettingsStore store(m_path);
        QVERIFY(store.WriteSetting(RegistryRoot::CurrentUser, kKey, "installpath", "/opt/kavro"));
        QVERIFY(store.WriteSetting(RegistryRoot::CurrentUser, kKey, "a\"b", "x\\y"));
        QVERIFY(store.writeValue(
            RegistryRoot::LocalMachine, "System\\CurrentControlSet\\Services\\RemoteAccess",
            "Remote Connection", SettingsStore::Type::Binary, QByteArray("\x01\x00\x00\x00", 4)));
        QVERIFY(store.writeDword(RegistryRoot::LocalMachine, "X", "n", 0x2a));
        QVERIFY(store.WriteSetting(RegistryRoot::ClassesRoot, "WinZip\\shell\\open\\command", "",
                                   "wz"));
        QCOMPARE(readAll(m_path), QByteArray("REGEDIT4\n"
                                             "\n"
                                             "[HKEY_CURRENT_USER\\Software\\Brellum Inc\\Kavro]\n"
                                             "\"installpath\"=\"/opt/kavro\"\n"
                                             "\"a\\\"b\"=\"x\\\\y\"\n"
                                             "\n"
                                             "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\"
                                             "Services\\RemoteAccess]\n"
                                             "\"Remote Connection\"=hex:01,00,00,00\n"
                                             "\n"
                                             "[HKEY_LOCAL_MACHINE\\X]\n"
                                             "\"n\"=dword:0000002a\n"
                                             "\n"
                                             "[HKEY_CLASSES_ROOT\\WinZip\\shell\\open\\command]\n"
                                             "@=\"wz\"\n"));
        QVERIFY(!QFile::exists(m_path + ".lock"));
    }

    void handWrittenFilesAreRead_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("windows line ends, short root, comment")
            << QByteArray("REGEDIT4\r\n\r\n; the game\r\n[HKLM\\Software\\Electronic Arts\\Need "
                          "For Speed High Stakes]\r\n\"InstallPath\"=\"/games/nfshs\"\r\n")
            << "Software\\Electronic Arts\\Need For Speed High Stakes\\"
            << "installpath"
            << "/games/nfshs";
        QTest::newRow("hex over several lines")
            << QByteArray("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=hex(2):41,42,\\\n  43,00\n")
            << "K"
            << "v"
            << "ABC";
        QTest::newRow("removed value")
            << QByteArray("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"a\"\n\"V\"=-\n") << "K"
            << "v"
            << "";
        QTest::newRow("removed key")
            << QByteArray("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K\\S]\n\"v\"=\"a\"\n[-HKEY_LOCAL_"
                          "MACHINE\\K]\n")
            << "K\\S"
            << "v"
            << "";
        QTest::newRow("version 5 header, UTF-16")
            << utf16WithMark("Windows Registry Editor Version 5.00\r\n\r\n"
                             "[HKEY_CURRENT_USER\\K]\r\n\"v\"=\"é\"\r\n")
            << "K"
            << "v"
            << "é";
        QTest::newRow("Windows-1252 bytes")
            << QByteArray("REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"caf\xe9\"\n") << "K"
            << "v"
            << "café";
    }
    void handWrittenFilesAreRead() {
        QFETCH(QByteArray, file);
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        writeBytes(m_path, file);
        // Every row uses HKEY_LOCAL_MACHINE except the UTF-16 one.
        const RegistryRoot root =
            file.startsWith("\xFF\xFE") ? RegistryRoot::CurrentUser : RegistryRoot::LocalMachine;
        SettingsStore store(m_path);
        QCOMPARE(store.ReadSetting(root, key, name), expected);
        QVERIFY(!RegFile::parse(file).damaged());
    }

    void textBytesThatAreNotUtf8SurviveAWrite() {
        // A text value given as hex(1) bytes that are not UTF-8 must not be rewritten as
        // replacement characters when Kavro saves another value.
        writeBytes(m_path, QByteArray("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=hex(1):25,90\n"));
        SettingsStore store(m_path);
        QVERIFY(store.WriteSetting(RegistryRoot::CurrentUser, "K", "other", "x"));
        const RegFile saved = RegFile::parse(readAll(m_path));
        QVERIFY(!saved.damaged());
        const RegFile::Value* v = saved.find("HKEY_CURRENT_USER\\K", "v");
        QVERIFY(v);
        QCOMPARE(v->type, 1);
        QCOMPARE(v->data, QByteArray("\x25\x90"));
    }

    void keyNamedLikeARemovalDoesNotEraseAnotherOnSave() {
        // "[\-K]" names no key Kavro can write back: kept, it would come out as "[-K]" and erase
        // the real key K at the next read.
        const QByteArray file("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"a\"\n"
                              "[\\-HKEY_CURRENT_USER\\K]\n\"w\"=\"b\"\n");
        const RegFile parsed = RegFile::parse(file);
        QVERIFY(parsed.damaged());
        const RegFile again = RegFile::parse(parsed.serialize());
        QVERIFY(!again.damaged());
        const RegFile::Value* v = again.find("HKEY_CURRENT_USER\\K", "v");
        QVERIFY(v);
        QCOMPARE(v->data, QByteArray("a"));
    }

    void garbageIsKeptAsideBeforeTheFirstWrite() {
        const QByteArray garbage("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Brellum Inc\\Kavro]\n"
                                 "\"loadss\"=\"False\"\nthis is not a value\n\x01\x02\xff\xfe\n"
                                 "\"half\"=\"open\n");
        writeBytes(m_path, garbage);
        SettingsStore store(m_path);
        // What can be read is read; nothing is written by a read.
        QCOMPARE(store.ReadSetting(RegistryRoot::CurrentUser, kKey, "loadss"), "False");
        QCOMPARE(store.ReadSetting(RegistryRoot::CurrentUser, kKey, "half"), QString());
        QCOMPARE(readAll(m_path), garbage);

        QVERIFY(store.WriteSetting(RegistryRoot::CurrentUser, kKey, "appver", "42"));
        QCOMPARE(readAll(m_path + ".bad"), garbage);
        QVERIFY(!RegFile::parse(readAll(m_path)).damaged());
        QCOMPARE(store.ReadSetting(RegistryRoot::CurrentUser, kKey, "loadss"), "False");
        QCOMPARE(store.ReadSetting(RegistryRoot::CurrentUser, kKey, "appver"), "42");

        // The repaired file needs no second copy; a later damage gets its own.
        QVERIFY(store.WriteSetting(RegistryRoot::CurrentUser, kKey, "appver", "43"));
        QVERIFY(!QFile::exists(m_path + ".bad.1"));
        writeBytes(m_path, QByteArray("\0\0\0binary", 9));
        QVERIFY(store.WriteSetting(RegistryRoot::CurrentUser, kKey, "appver", "44"));
        QCOMPARE(readAll(m_path + ".bad.1"), QByteArray("\0\0\0binary", 9));
        QCOMPARE(readAll(m_path + ".bad"), garbage);
    }

    void randomBytesNeverCrashTheParser() {
        // Pieces of the format mixed with noise, so the parser gets far into its branches.
        const QList<QByteArray> pieces = {"REGEDIT4\n", "[",    "]",      "HKEY_CURRENT_USER\\",
                                          "\"",         "=",    "@",      "hex",
                                          "(2)",        ":",    ",",      "0",
                                          "ff",         "\\\n", "dword:", "-",
                                          "\r\n",       "\\\"", "\xff",   "\0",
                                          "é",          ";",    " "};
        QRandomGenerator rng(20000830);
        for (int round = 0; round < 3000; ++round) {
            QByteArray bytes;
            const int n = rng.bounded(1, 60);
            for (int i = 0; i < n; ++i) {
                if (rng.bounded(3) == 0)
                    bytes.append(char(rng.bounded(256)));
                else
                    bytes.append(pieces[rng.bounded(int(pieces.size()))]);
            }
            const RegFile file = RegFile::parse(bytes);
            // Whatever was understood survives a write and a second read unchanged.
            const RegFile again = RegFile::parse(file.serialize());
            QVERIFY2(!again.damaged(), bytes.toHex().constData());
            QCOMPARE(again.serialize(), file.serialize());
        }
    }

    void twoProcessesWritingAtOnceLoseNothing() {
        const int count = 40;
        QProcess a, b;
        const QString self = QCoreApplication::applicationFilePath();
        a.start(self, {"--writer", m_path, "a", QString::number(count)});
        b.start(self, {"--writer", m_path, "b", QString::number(count)});
        QVERIFY(a.waitForFinished(60000));
        QVERIFY(b.waitForFinished(60000));
        QCOMPARE(a.exitCode(), 0);
        QCOMPARE(b.exitCode(), 0);
        SettingsStore store(m_path);
        for (const char* tag : {"a", "b"})
            for (int i = 0; i < count; ++i)
                QCOMPARE(store.ReadSetting(RegistryRoot::CurrentUser, kKey,
                                           QString::fromLatin1(tag) + u'_' + QString::number(i)),
                         QString::number(i));
        QVERIFY(!QFile::exists(m_path + ".bad"));
    }

    void writeFailsWhenTheFolderCannotBeMade() {
        const QString blocker = m_dir.path() + "/blocker";
        writeBytes(blocker, "a file where a folder should be");
        SettingsStore store(blocker + "/kavro/registry.reg");
        QVERIFY(!store.WriteSetting(RegistryRoot::CurrentUser, kKey, "x", "y"));
        QCOMPARE(store.ReadSetting(RegistryRoot::CurrentUser, kKey, "x"), QString());
    }

    void defaultPathFollowsXdgConfigHome() {
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", "/somewhere/cfg");
        QCOMPARE(SettingsStore::defaultPath(), "/somewhere/cfg/kavro/registry.reg");
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(SettingsStore::defaultPath(), QDir::homePath() + "/.config/kavro/registry.reg");
        qputenv("XDG_CONFIG_HOME", saved);
    }
};

int main(int argc, char** argv) {
    if (argc == 5 && qstrcmp(argv[1], "--writer") == 0)
        return runWriter(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                         atoi(argv[4]));
    QCoreApplication app(argc, argv);
    tst_SettingsStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_SettingsStore.moc"
