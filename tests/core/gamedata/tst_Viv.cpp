#include "TestFiles.h"
#include "VivBuilder.h"
#include "core/gamedata/Viv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using VivBuilder::Entry;
Q_DECLARE_METATYPE(VivBuilder::Entry)

using TestFiles::readAll;

namespace {

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

void setLong(QByteArray& bytes, qint64 pos, quint32 v) {
    qToBigEndian(v, bytes.data() + pos);
}

// A small archive whose second entry's name is replaced by name.
QByteArray withName(const QByteArray& name) {
    return VivBuilder::build({{"fedata.eng", VivBuilder::fedata(3)}, {name, "evil"}});
}

} // namespace

class tst_Viv : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void byteHelpers() {
        static_assert(SwapLong(0x01020304u) == 0x04030201u);
        QCOMPARE(SwapLong(SwapLong(0xDEADBEEFu)), 0xDEADBEEFu);
        QCOMPARE(NameToBytes(QStringLiteral("fedata.eng")), QByteArray("fedata.eng\0", 11));
        QCOMPARE(NameToBytes(QString::fromUtf8("caf\u00e9\u20ac")), QByteArray("caf\xE9\x80\0", 6));
        QCOMPARE(NameToBytes(QString()), QByteArray(1, '\0'));
    }

    void roundTrip_data() {
        QTest::addColumn<QList<Entry>>("entries");
        QTest::addColumn<int>("serial");
        QTest::newRow("typical car") << VivBuilder::carEntries(17, "ABCD") << 17;
        QTest::newRow("zero-length entries")
            << QList<Entry>{{"empty.bin", {}}, {"fedata.eng", VivBuilder::fedata(9)}, {"z", {}}}
            << 9;
        QTest::newRow("Windows-1252 names, dot file, names differing in case")
            << QList<Entry>{{"caf\xE9.txt", "x"},
                            {"\x81\x8D\x9F.bin", "y"},
                            {".hidden", "h"},
                            {"Fedata.eng", VivBuilder::fedata(1)},
                            {"fedata.eng", VivBuilder::fedata(200)}}
            << 200;
        QTest::newRow("one entry, no fedata.eng") << QList<Entry>{{"car.fce", "abc"}} << 0;
    }
    void roundTrip() {
        QFETCH(QList<Entry>, entries);
        QFETCH(int, serial);
        QTemporaryDir dir;
        const QString original = dir.filePath("orig.viv");
        writeAll(original, VivBuilder::build(entries));
        QDir(dir.path()).mkdir("unpacked");
        const QString unpacked = dir.filePath("unpacked/");

        QString error;
        QCOMPARE(ReadViv(original, unpacked, 0, &error), qint16(1));
        QVERIFY(error.isEmpty());
        QCOMPARE(ReadViv(original, QString(), 1), qint16(serial));
        QCOMPARE(QDir(unpacked).entryList(QDir::Files | QDir::Hidden).size(), entries.size());

        const QString rebuilt = dir.filePath("new.viv");
        QVERIFY2(WriteViv(rebuilt, unpacked, &error), qPrintable(error));
        const QByteArray bytes = readAll(rebuilt);
        bool ok = false;
        const QList<Entry> back = VivBuilder::parse(bytes, &ok);
        QVERIFY(ok);

        // Same entries (names and bytes), in the folder's order: sorted without regard to case.
        auto key = [](const Entry& e) { return e.name; };
        QMap<QByteArray, QByteArray> want, got;
        for (const Entry& e : entries)
            want.insert(key(e), e.data);
        for (const Entry& e : back)
            got.insert(key(e), e.data);
        QCOMPARE(got, want);
        for (qsizetype i = 1; i < back.size(); ++i)
            QVERIFY(QString::fromLatin1(back[i - 1].name)
                        .compare(QString::fromLatin1(back[i].name), Qt::CaseInsensitive) <= 0);

        quint32 dataStart = 16;
        for (const Entry& e : entries)
            dataStart += 9 + quint32(e.name.size());
        QCOMPARE(qFromBigEndian<quint32>(bytes.constData() + 12), dataStart);
        QCOMPARE(qint64(qFromBigEndian<quint32>(bytes.constData() + 4)), bytes.size());
        QCOMPARE(qFromBigEndian<quint32>(bytes.constData() + 8), quint32(entries.size()));
        QCOMPARE(ReadViv(rebuilt, QString(), 1), qint16(serial));

        // Rewriting in place gives the same bytes, whether entries go through the edit or not.
        for (bool all : {false, true}) {
            const QString inPlace = dir.filePath("inplace.viv");
            QFile::remove(inPlace);
            QVERIFY(QFile::copy(original, inPlace));
            QVERIFY2(RewriteViv(
                         inPlace, [all](const QString&) { return all; },
                         [](const QString&, QByteArray&, QString*) { return true; }, &error),
                     qPrintable(error));
            QCOMPARE(readAll(inPlace), bytes);
        }
        // Data back to back from data start.
        quint32 offset = dataStart;
        for (qsizetype i = 0; i < back.size(); ++i) {
            qint64 pos = 16;
            for (qsizetype k = 0; k < i; ++k)
                pos += 9 + back[k].name.size();
            QCOMPARE(qFromBigEndian<quint32>(bytes.constData() + pos), offset);
            offset += quint32(back[i].data.size());
        }
    }

    void emptyFolderGivesSixteenByteArchive() {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("src");
        const QString path = dir.filePath("empty.viv");
        QVERIFY(WriteViv(path, dir.filePath("src/")));
        QCOMPARE(readAll(path), QByteArray("BIGF\0\0\0\x10\0\0\0\0\0\0\0\x10", 16));
        QDir(dir.path()).mkdir("out");
        QCOMPARE(ReadViv(path, dir.filePath("out/"), 0), qint16(1));
        QVERIFY(TestFiles::filesBelow(dir.filePath("out")).isEmpty());
        QCOMPARE(ReadViv(path, QString(), 1), qint16(0));
    }

    void invalidArchives_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = VivBuilder::carArchive(5);
        auto patched = [&](qint64 pos, quint32 v) {
            QByteArray b = good;
            setLong(b, pos, v);
            return b;
        };
        const qint64 size = good.size();
        QTest::newRow("wrong magic") << QByteArray("bigf" + good.mid(4));
        QTest::newRow("length one more") << patched(4, quint32(size + 1));
        QTest::newRow("length one less") << patched(4, quint32(size - 1));
        QTest::newRow("file one byte longer") << QByteArray(good + 'x');
        QTest::newRow("file cut short") << good.left(size - 1);
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("header only, cut") << good.left(12);
        // First entry "car.fce" at directory position 16.
        QTest::newRow("entry beyond the end") << patched(16, quint32(size - 10));
        QTest::newRow("entry length beyond the end") << patched(20, quint32(size));
        QTest::newRow("offset wraps around") << patched(16, 0xFFFFFFF0u);
        QTest::newRow("count over 32767") << patched(8, 32768u);
        QTest::newRow("count huge") << patched(8, 0xFFFFFFFFu);
        {
            QByteArray cut = VivBuilder::build({{"a", "1"}, {"b", "2"}}).left(16 + 9 + 4);
            setLong(cut, 4, quint32(cut.size()));
            QTest::newRow("directory cut in an entry") << cut;
            QByteArray noZero = VivBuilder::build({{"abc", {}}}).left(16 + 8 + 3);
            setLong(noZero, 4, quint32(noZero.size()));
            QTest::newRow("name without its zero byte") << noZero;
            QByteArray more = VivBuilder::build({{"a", {}}});
            setLong(more, 8, 2);
            QTest::newRow("count beyond the directory") << more;
        }
        QTest::newRow("name ../evil") << withName("../evil");
        QTest::newRow("name ..") << withName("..");
        QTest::newRow("name .") << withName(".");
        QTest::newRow("empty name") << withName("");
        QTest::newRow("name with /") << withName("sub/file");
        QTest::newRow("absolute name") << withName("/tmp/kavro-evil");
        QTest::newRow("name with backslash") << withName("..\\evil");
        QTest::newRow("name with colon") << withName("C:evil");
        QTest::newRow("name too long for a file") << withName(QByteArray(256, 'n'));
    }
    void invalidArchives() {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString archive = dir.filePath("car.viv");
        writeAll(archive, bytes);
        QDir(dir.path()).mkpath("deep/dest");
        const QStringList before = TestFiles::filesBelow(dir.path());

        QString error = "stale";
        QCOMPARE(ReadViv(archive, dir.filePath("deep/dest/"), 0, &error), qint16(0));
        QVERIFY2(error.isEmpty(), qPrintable(error)); // invalid is a result, not a failure
        QCOMPARE(TestFiles::filesBelow(dir.path()), before);
        QCOMPARE(ReadViv(archive, QString(), 1, &error), qint16(-1));
        QVERIFY(!RewriteViv(
            archive, [](const QString&) { return true; },
            [](const QString&, QByteArray&, QString*) { return true; }, &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists("/tmp/kavro-evil"));
        QCOMPARE(readAll(archive), bytes);
        QCOMPARE(TestFiles::filesBelow(dir.path()), before);
    }

    void missingAndUnreadableArchives() {
        QTemporaryDir dir;
        QString error;
        QCOMPARE(ReadViv(dir.filePath("none.viv"), QString(), 1, &error), qint16(-1));
        QVERIFY(error.isEmpty()); // missing: an invalid archive
        QVERIFY(!QFile::exists(dir.filePath("none.viv")));
        writeAll(dir.filePath("plain"), "x");
        QCOMPARE(ReadViv(dir.filePath("plain/CAR.VIV"), QString(), 1, &error), qint16(-1));
        QVERIFY(!error.isEmpty()); // below a plain file: cannot be opened
    }

    void serialByte_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("serial");
        QTest::newRow("relative to the entry's offset")
            << VivBuilder::build(
                   {{"car.fce", QByteArray(5000, '\x07')}, {"fedata.eng", VivBuilder::fedata(42)}})
            << 42;
        QTest::newRow("255 is unsigned")
            << VivBuilder::build({{"fedata.eng", VivBuilder::fedata(255)}}) << 255;
        QTest::newRow("no fedata.eng")
            << VivBuilder::build({{"fedata.fre", VivBuilder::fedata(4)}}) << 0;
        QTest::newRow("capital letters do not count")
            << VivBuilder::build({{"FEDATA.ENG", VivBuilder::fedata(4)}}) << 0;
        QTest::newRow("the last of two counts")
            << VivBuilder::build(
                   {{"fedata.eng", VivBuilder::fedata(4)}, {"fedata.eng", VivBuilder::fedata(8)}})
            << 8;
        QTest::newRow("entry too short for the serial")
            << VivBuilder::build({{"fedata.eng", QByteArray(798, 'x')}, {"next", "\x05"}}) << -1;
        QByteArray wrongStart = VivBuilder::build({{"fedata.eng", VivBuilder::fedata(11)}});
        setLong(wrongStart, 12, 0xFFFF);
        QTest::newRow("wrong data start is not read") << wrongStart << 11;
    }
    void serialByte() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, serial);
        QTemporaryDir dir;
        writeAll(dir.filePath("a.viv"), bytes);
        QCOMPARE(ReadViv(dir.filePath("a.viv"), QString(), 1), qint16(serial));
    }

    void unpackNeverFollowsALink() {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("dest");
        writeAll(dir.filePath("outside"), "keep me");
        QVERIFY(QFile::link(dir.filePath("outside"), dir.filePath("dest/fedata.eng")));
        writeAll(dir.filePath("a.viv"), VivBuilder::build({{"fedata.eng", VivBuilder::fedata(6)}}));
        QCOMPARE(ReadViv(dir.filePath("a.viv"), dir.filePath("dest/"), 0), qint16(1));
        QCOMPARE(readAll(dir.filePath("outside")), QByteArray("keep me"));
        QVERIFY(!QFileInfo(dir.filePath("dest/fedata.eng")).isSymLink());
        QCOMPARE(readAll(dir.filePath("dest/fedata.eng")), VivBuilder::fedata(6));
    }

    void unpackFailureLeavesNoFile() {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath("dest/b.bin"); // a folder where the second entry goes
        writeAll(dir.filePath("a.viv"), VivBuilder::build({{"a.bin", "1"}, {"b.bin", "2"}}));
        QString error;
        QCOMPARE(ReadViv(dir.filePath("a.viv"), dir.filePath("dest/"), 0, &error), qint16(0));
        QVERIFY(!error.isEmpty());
        QCOMPARE(TestFiles::filesBelow(dir.filePath("dest")), QStringList{"b.bin"});
    }

    void duplicateNamesAreReadButNotUnpacked() {
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("dest");
        writeAll(dir.filePath("a.viv"), VivBuilder::build({{"car.fce", "first"},
                                                           {"fedata.eng", VivBuilder::fedata(4)},
                                                           {"car.fce", "second"}}));
        QString error;
        QCOMPARE(ReadViv(dir.filePath("a.viv"), QString(), 1, &error), qint16(4));
        QCOMPARE(ReadViv(dir.filePath("a.viv"), dir.filePath("dest/"), 0, &error), qint16(0));
        QVERIFY(error.contains("car.fce"));
        QVERIFY(TestFiles::filesBelow(dir.filePath("dest")).isEmpty());
    }

    void rewriteEditsOnlyWhatItSelects() {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.viv");
        writeAll(path, VivBuilder::build({{"b.txt", "bee"}, {"A.bin", "aa"}, {"c.txt", "sea"}}));
        QStringList asked;
        QVERIFY(RewriteViv(
            path,
            [&](const QString& n) {
                asked << n;
                return n.endsWith(".txt");
            },
            [](const QString& n, QByteArray& d, QString*) {
                d = n == "b.txt" ? QByteArray("a longer bee") : QByteArray();
                return true;
            }));
        QCOMPARE(asked, (QStringList{"A.bin", "b.txt", "c.txt"}));
        QCOMPARE(readAll(path),
                 VivBuilder::build({{"A.bin", "aa"}, {"b.txt", "a longer bee"}, {"c.txt", {}}}));

        // A failing edit changes nothing.
        const QByteArray before = readAll(path);
        QString error;
        QVERIFY(!RewriteViv(
            path, [](const QString&) { return true; },
            [](const QString&, QByteArray& d, QString* why) {
                d.clear();
                *why = "no";
                return false;
            },
            &error));
        QCOMPARE(error, QString("no"));
        QCOMPARE(readAll(path), before);
        QCOMPARE(TestFiles::filesBelow(dir.path()), QStringList{"a.viv"});
    }

    void writeRefusesWhatAnArchiveCannotHold_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("backslash") << "a\\b";
        QTest::newRow("colon") << "c:d";
        QTest::newRow("outside Windows-1252") << QString::fromUtf8("\u4e2d.txt");
    }
    void writeRefusesWhatAnArchiveCannotHold() {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("src");
        writeAll(dir.filePath("src/") + name, "x");
        writeAll(dir.filePath("old.viv"), "old bytes");
        QString error;
        QVERIFY(!WriteViv(dir.filePath("old.viv"), dir.filePath("src/"), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readAll(dir.filePath("old.viv")), QByteArray("old bytes"));
        QCOMPARE(TestFiles::filesBelow(dir.path()), (QStringList{"old.viv", "src", "src/" + name}));
    }

    void writeSkipsFolders() {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath("src/sub");
        writeAll(dir.filePath("src/f"), "data");
        QVERIFY(WriteViv(dir.filePath("a.viv"), dir.filePath("src")));
        bool ok = false;
        const QList<Entry> back = VivBuilder::parse(readAll(dir.filePath("a.viv")), &ok);
        QVERIFY(ok);
        QCOMPARE(back.size(), 1);
        QCOMPARE(back[0].name, QByteArray("f"));
    }
};

QTEST_GUILESS_MAIN(tst_Viv)
#include "tst_Viv.moc"
