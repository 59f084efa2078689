// The extractor started with WinZip's line: kavro-unzip -% /extractX "folder" "zip".
#include "ProgramRun.h"
#include "ZipBomb.h"
#include "ZipBuilder.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>

namespace {

using Outcome = ProgramRun;

Outcome runUnzip(const QStringList& args) {
    return ProgramRun::of(QStringLiteral(KAVRO_BIN_DIR "/kavro-unzip"), args, 20000);
}

Outcome extract(const QString& folder, const QString& zip) {
    return runUnzip({QStringLiteral("-%"), QStringLiteral("/extractX"), folder, zip});
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Every file below root, as paths relative to root, sorted.
QStringList filesBelow(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        out.append(QDir(root).relativeFilePath(it.next()));
    out.sort();
    return out;
}

} // namespace

class tst_kavroUnzip : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void extractsKeepingFolderNames() {
        QTemporaryDir dir;
        const QString zip = dir.filePath("car.zip");
        ZipBuilder b;
        b.add("CAR.VIV", QByteArray("BIGF viv bytes"))
            .add("pics/ABCD.QFS", QByteArray(70000, 'q'))
            .add("deep\\win\\CAR.FEC", QByteArray("fec")) // a ZIP made with backslashes
            .addFolder("empty/")
            .add("./dot.txt", QByteArray())
            .add("x/./y.txt", QByteArray("y"));
        QVERIFY(b.write(zip));

        const QString out = dir.filePath("work folder/CAR1"); // missing, with a space
        const Outcome r = extract(out, zip);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.errorText, QString());
        QCOMPARE(filesBelow(out), (QStringList{"CAR.VIV", "deep/win/CAR.FEC", "dot.txt",
                                               "pics/ABCD.QFS", "x/y.txt"}));
        QCOMPARE(readAll(out + "/CAR.VIV"), QByteArray("BIGF viv bytes"));
        QCOMPARE(readAll(out + "/pics/ABCD.QFS"), QByteArray(70000, 'q'));
        QCOMPARE(readAll(out + "/deep/win/CAR.FEC"), QByteArray("fec"));
        QCOMPARE(readAll(out + "/dot.txt"), QByteArray());
        QVERIFY(QFileInfo(out + "/empty").isDir());
    }

    void replacesFilesLeftInTheFolder() {
        QTemporaryDir dir;
        const QString zip = dir.filePath("car.zip");
        QVERIFY(ZipBuilder().add("CAR.VIV", QByteArray("new")).write(zip));
        const QString out = dir.filePath("out");
        QDir().mkpath(out);
        QFile f(out + "/CAR.VIV");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("an older and longer content");
        f.close();
        QCOMPARE(extract(out, zip).exitCode, 0);
        QCOMPARE(readAll(out + "/CAR.VIV"), QByteArray("new"));
        QCOMPARE(filesBelow(out), QStringList{"CAR.VIV"});
    }

    void refusesUnsafeNamesForTheWholeZip_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("parent parts") << QByteArray("../../evil.txt");
        QTest::newRow("parent inside") << QByteArray("a/../../evil.txt");
        QTest::newRow("parent at the end") << QByteArray("a/..");
        QTest::newRow("backslash parent") << QByteArray("..\\evil.txt");
        QTest::newRow("backslash parent inside") << QByteArray("a\\..\\..\\evil.txt");
        QTest::newRow("mixed separators") << QByteArray("a/..\\..\\evil.txt");
        QTest::newRow("absolute") << QByteArray("/tmp/evil.txt");
        QTest::newRow("absolute backslash") << QByteArray("\\tmp\\evil.txt");
        QTest::newRow("drive letter") << QByteArray("C:\\evil.txt");
        QTest::newRow("drive letter relative") << QByteArray("c:evil.txt");
    }
    void refusesUnsafeNamesForTheWholeZip() {
        QFETCH(QByteArray, name);
        QTemporaryDir dir;
        const QString zip = dir.filePath("evil.zip");
        // The good entries come first: they must not be written either.
        ZipBuilder b;
        b.add("CAR.VIV", QByteArray("viv")).add("sub/good.txt", QByteArray("g")).add(name, "evil");
        QVERIFY(b.write(zip));
        QVERIFY(ZipBuilder::names(zip).contains(QString::fromLatin1(name)));

        const bool tmpEvilBefore = QFile::exists("/tmp/evil.txt");
        const QString out = dir.filePath("a/b/CAR1");
        QDir().mkpath(out);
        const Outcome r = extract(out, zip);
        QCOMPARE(r.exitCode, 3);
        QVERIFY2(r.errorText.contains(QString::fromLatin1(name)), qPrintable(r.errorText));
        QVERIFY2(r.errorText.contains("nothing was extracted"), qPrintable(r.errorText));
        QCOMPARE(filesBelow(dir.path()), QStringList{"evil.zip"});
        QCOMPARE(QFile::exists("/tmp/evil.txt"), tmpEvilBefore);
        QVERIFY(QDir(out).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    }

    void failsWithoutWritingWhenTheZipCannotBeRead_data() {
        QTest::addColumn<QByteArray>("content"); // of the "ZIP"; "<none>": no file at all
        QTest::newRow("not a zip") << QByteArray("<html>Not Found</html>");
        QTest::newRow("missing file") << QByteArray("<none>");
        QTest::newRow("zip cut short") << QByteArray("PK\x03\x04 truncated", 15);
    }
    void failsWithoutWritingWhenTheZipCannotBeRead() {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString zip = dir.filePath("CAR1.ZIP");
        if (content != "<none>") {
            QFile f(zip);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const QString out = dir.filePath("CAR1");
        const Outcome r = extract(out, zip);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.errorText.contains("cannot read the ZIP"), qPrintable(r.errorText));
        QVERIFY(!QFileInfo::exists(out));
    }

    // A damaged entry after good ones: none of the ZIP's files is left, nor a temporary file.
    void damagedEntryLeavesNothing() {
        QTemporaryDir dir;
        const QString zip = dir.filePath("car.zip");
        const QByteArray marker(4096, 'M');
        ZipBuilder b;
        b.add("good.txt", QByteArray("good")).add("sub/other.txt", QByteArray("o"));
        b.setStored(true).add("CAR.VIV", marker);
        QVERIFY(b.write(zip));
        QFile f(zip);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray bytes = f.readAll();
        const qsizetype at = bytes.indexOf(marker);
        QVERIFY(at > 0);
        bytes[at + 100] = 'X'; // the stored CRC no longer matches
        f.seek(0);
        f.write(bytes);
        f.close();

        const QString out = dir.filePath("CAR1");
        QDir().mkpath(out);
        const Outcome r = extract(out, zip);
        QVERIFY(r.exitCode != 0);
        QVERIFY2(r.errorText.contains("CAR.VIV"), qPrintable(r.errorText));
        QCOMPARE(filesBelow(out), QStringList());
        QVERIFY(!QFileInfo::exists(out + "/sub"));
    }

    void refusesToWriteThroughLinksOrOverFolders_data() {
        QTest::addColumn<QString>("prepare"); // what exists in the folder before
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("link to outside") << "link" << QByteArray("link/evil.txt");
        QTest::newRow("folder in the way") << "folder" << QByteArray("CAR.VIV");
        QTest::newRow("file where a folder goes") << "file" << QByteArray("CAR.VIV/x.txt");
    }
    void refusesToWriteThroughLinksOrOverFolders() {
        QFETCH(QString, prepare);
        QFETCH(QByteArray, name);
        QTemporaryDir dir;
        const QString outside = dir.filePath("outside");
        const QString out = dir.filePath("CAR1");
        QDir().mkpath(outside);
        QDir().mkpath(out);
        if (prepare == "link")
            QVERIFY(QFile::link(outside, out + "/link"));
        else if (prepare == "folder")
            QDir().mkpath(out + "/CAR.VIV");
        else
            QFile(out + "/CAR.VIV").open(QIODevice::WriteOnly);
        const QString zip = dir.filePath("car.zip");
        QVERIFY(ZipBuilder().add("first.txt", "1").add(name, "x").write(zip));

        const Outcome r = extract(out, zip);
        QCOMPARE(r.exitCode, 4);
        QVERIFY(!r.errorText.isEmpty());
        QCOMPARE(filesBelow(outside), QStringList());
        QVERIFY(!QFileInfo::exists(out + "/first.txt"));
    }

    // What a ZIP would unpack to is bounded and its names must be fit to write: each of these is
    // refused at once, and the folder keeps nothing (the bombs and the other hostile ZIPs go
    // through the installer's own table).
    void refusesOversizedZipsAndUnfitNames_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("reason"); // a part of what standard error says
        QTest::newRow("4097 entries") << "4097" << 5 << "4097 entries (at most 4096";
        QTest::newRow("4096 entries") << "4096" << 0 << "";
        QTest::newRow("300-character part") << "long part" << 3 << "a part longer than 255";
        QTest::newRow("terminal escape") << "\x1b[2JCAR.VIV" << 3 << "\\x1b[2JCAR.VIV";
        QTest::newRow("C1 control") << "sub/CAR\xc2\x9b.VIV" << 3 << "a control character";
        QTest::newRow("DEL") << "CAR\x7f.VIV" << 3 << "a control character";
    }
    void refusesOversizedZipsAndUnfitNames() {
        QFETCH(QString, kind);
        QFETCH(int, exitCode);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString zip = dir.filePath("CAR1.ZIP");
        if (kind == "4097" || kind == "4096") {
            ZipBuilder b;
            for (int i = 0; i < kind.toInt(); ++i)
                b.add(QByteArray("f") + QByteArray::number(i), QByteArray("x"));
            QVERIFY(b.write(zip));
        } else if (kind == "long part") {
            QVERIFY(ZipBuilder()
                        .add("CAR.VIV", "v")
                        .add("sub/" + QByteArray(300, 'b') + "/x", "x")
                        .write(zip));
        } else {
            QVERIFY(ZipBuilder().add("ABCD.QFS", "q").add(kind.toUtf8(), "x").write(zip));
        }
        const QString out = dir.filePath("CAR1");
        QDir().mkpath(out);
        const Outcome r = extract(out, zip);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.errorText.contains(reason), qPrintable(r.errorText));
        if (exitCode == 0) {
            QCOMPARE(filesBelow(out).size(), kind.toInt());
            return;
        }
        // One line, whatever the names held.
        QCOMPARE(r.errorText.count('\n'), 1);
        QVERIFY(!r.errorText.contains('\r') && !r.errorText.contains('\x1b'));
        QVERIFY(r.errorText.size() < 400);
        QCOMPARE(filesBelow(out), QStringList());
        QCOMPARE(filesBelow(dir.path()), QStringList{"CAR1.ZIP"});
    }

    // Stopped while it writes, it removes its temporary file and ends by the signal.
    void stopsAndCleansUpOnSigterm() {
        QTemporaryDir dir;
        const QString zip = dir.filePath("CAR1.ZIP");
        QVERIFY(ZipBomb::write(zip, "CAR.VIV", 500 * 1024 * 1024));
        const QString out = dir.filePath("CAR1");
        QProcess p;
        p.start(QStringLiteral(KAVRO_BIN_DIR "/kavro-unzip"), {"-%", "/extractX", out, zip});
        QVERIFY(p.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        while (filesBelow(out).isEmpty() && waited.elapsed() < 5000)
            QThread::usleep(200);
        QCOMPARE(filesBelow(out).size(), 1); // the temporary file, being written
        QVERIFY(filesBelow(out).first().startsWith(".kavro-unzip-"));
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(2000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains("stopped before the end"));
        QVERIFY(!QFileInfo::exists(out));
        QCOMPARE(filesBelow(dir.path()), QStringList{"CAR1.ZIP"});
    }

    void badUsage_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("nothing") << QStringList();
        QTest::newRow("zip only") << QStringList{"car.zip"};
        QTest::newRow("no folder") << QStringList{"-%", "/extractX", "car.zip"};
        QTest::newRow("other switch") << QStringList{"-%", "/extract", "out", "car.zip"};
        QTest::newRow("no -%") << QStringList{"-e", "/extractX", "out", "car.zip"};
        QTest::newRow("too many") << QStringList{"-%", "/extractX", "out", "car.zip", "more"};
        QTest::newRow("empty folder") << QStringList{"-%", "/extractX", "", "car.zip"};
    }
    void badUsage() {
        QFETCH(QStringList, args);
        const Outcome r = runUnzip(args);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.errorText.contains("-% /extractX"), qPrintable(r.errorText));
    }
};

QTEST_GUILESS_MAIN(tst_kavroUnzip)
#include "tst_kavroUnzip.moc"
