// Installing a downloaded car into the game folders, and what a failed install leaves behind.
#include "TestEnv.h"
#include "ZipBuilder.h"
#include "core/gamedata/CarInstaller.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QtTest>

namespace {

// Every file and folder below root, relative, sorted.
QStringList treeBelow(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        out.append(QDir(root).relativeFilePath(path) + (it.fileInfo().isDir() ? "/" : ""));
    }
    out.sort();
    return out;
}

// One install in a fresh test world.
struct Install {
    TestEnv env;
    CarInstaller installer{env.session, env.programEnd};
    QStringList statuses;
    QString errorText;
    QString log = QStringLiteral("Example GT\r\n");

    Install() {
        installer.onStatus = [this](const QString& s) { statuses.append(s); };
    }
    QString zipPath(int n = 1) const { return env.workDir() + QStringLiteral("CAR%1.ZIP").arg(n); }
    void run(qint16 n = 1, const QString& line = QStringLiteral("Example GT")) {
        installer.InstallCar(n, line, errorText, log);
    }
    // An extractor that takes its time: a script that ignores its arguments and sleeps.
    void useSlowExtractor(int seconds) {
        const QString script =
            env.writeFile(env.root() + "slow-unzip",
                          QByteArray("#!/bin/sh\nsleep ") + QByteArray::number(seconds) + "\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.session.WinZipPath = "\"" + script + "\"";
    }
};

} // namespace

class tst_CarInstaller : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each of these fails and must leave the game exactly as it was, say why in the car's errors,
    // and do so at once rather than after waiting out a time limit.
    void failedInstallLeavesTheGameUntouched_data() {
        QTest::addColumn<QByteArray>("zipKind");
        QTest::addColumn<QString>("reason"); // a part of the reason given
        QTest::newRow("parent parts") << QByteArray("../../evil.txt") << "../../evil.txt";
        QTest::newRow("absolute name") << QByteArray("/tmp/evil.txt") << "/tmp/evil.txt";
        QTest::newRow("backslash parent") << QByteArray("..\\..\\evil.txt") << "evil.txt";
        QTest::newRow("no CAR.VIV") << QByteArray("no viv") << "holds no CAR.VIV";
        QTest::newRow("two CAR.VIV") << QByteArray("two viv") << "more than one CAR.VIV";
        QTest::newRow("not a ZIP") << QByteArray("html") << "cannot read the ZIP";
        QTest::newRow("no ZIP at all") << QByteArray("none") << "cannot read the ZIP";
        QTest::newRow("video wall is a file") << QByteArray("vidwall file") << "Vidwall";
    }
    void failedInstallLeavesTheGameUntouched() {
        QFETCH(QByteArray, zipKind);
        QFETCH(QString, reason);
        Install t;
        const QByteArray viv("BIGF not really");
        ZipBuilder zip;
        if (zipKind == "no viv") {
            zip.add("ABCD.QFS", "pic").add("CAR.FEC", "fec");
        } else if (zipKind == "two viv") {
            zip.add("one/CAR.VIV", viv).add("two/car.viv", viv);
        } else if (zipKind == "html") {
            t.env.writeFile(t.zipPath(), "<html><body>404 Not Found</body></html>");
        } else if (zipKind == "vidwall file") {
            QDir(t.env.gamePath() + "Data/FeArt/Vidwall").removeRecursively();
            t.env.writeFile(t.env.gamePath() + "Data/FeArt/Vidwall", "not a folder");
            zip.add("CAR.VIV", viv).add("ABCD.QFS", "pic").add("CAR.FEC", "fec");
        } else if (zipKind != "none") {
            zip.add("CAR.VIV", viv).add("ABCD.QFS", "pic").add(zipKind, "evil");
        }
        if (zipKind != "html" && zipKind != "none")
            QVERIFY(zip.write(t.zipPath()));
        const QStringList gameBefore = treeBelow(t.env.gamePath());

        QElapsedTimer took;
        took.start();
        t.run();
        QVERIFY2(took.elapsed() < 20000, "waited for a time limit instead of the extractor");

        QVERIFY2(t.errorText.startsWith("Installation failed: "), qPrintable(t.errorText));
        QVERIFY2(t.errorText.contains(reason), qPrintable(t.errorText));
        QVERIFY(t.errorText.endsWith("\r\n"));
        QCOMPARE(t.errorText.count("\r\n"), 1);
        QCOMPARE(treeBelow(t.env.gamePath()), gameBefore);
        QCOMPARE(t.statuses, (QStringList{"Installing Car...", "."}));
        QCOMPARE(t.log, QString("Example GT\r\n"));
        QCOMPARE(t.installer.carId(), QString());
        // Nothing escaped the extraction folder.
        QDirIterator it(t.env.root(), {"evil.txt"}, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY2(!it.hasNext(), qPrintable(it.hasNext() ? it.next() : QString()));
    }

    void extractorThatNeverEndsIsStopped() {
        Install t;
        t.useSlowExtractor(60);
        t.installer.extractorTimeoutMs = 300;
        const QStringList gameBefore = treeBelow(t.env.gamePath());
        t.run();
        QCOMPARE(
            t.errorText,
            QString("Installation failed: the extractor did not finish within 0.3 seconds\r\n"));
        QCOMPARE(treeBelow(t.env.gamePath()), gameBefore);
    }

    void extractorThatCannotStart() {
        Install t;
        t.env.session.WinZipPath = "\"" + t.env.root() + "no-such-unzip\"";
        t.run();
        QVERIFY2(t.errorText.startsWith("Installation failed: the extractor \"" + t.env.root() +
                                        "no-such-unzip\" could not be started"),
                 qPrintable(t.errorText));
        QCOMPARE(t.statuses, (QStringList{"Installing Car...", "."}));
    }

    // A cancel while the extractor runs ends the program: the install returns at once and
    // touches nothing more, not even the status.
    void programEndDuringTheWaitReturnsAtOnce() {
        Install t;
        t.useSlowExtractor(30);
        const QStringList gameBefore = treeBelow(t.env.gamePath());
        QTimer::singleShot(200, &t.env.programEnd, &ProgramEnd::EndProgram);
        QElapsedTimer took;
        took.start();
        t.run();
        QVERIFY(took.elapsed() < 20000);
        QCOMPARE(t.errorText, QString());
        QCOMPARE(t.statuses, QStringList{"Installing Car..."});
        QCOMPARE(treeBelow(t.env.gamePath()), gameBefore);
    }

    // Files and folders left in the extraction folder by an earlier install of the same number
    // are gone before the ZIP is unpacked, so they cannot be taken for this car's files.
    void extractionFolderIsEmptiedFirst() {
        Install t;
        const QString folder = t.env.workDir() + "CAR1/";
        t.env.writeFile(folder + "old/CAR.VIV", "stale");
        t.env.writeFile(folder + "CAR.FEC", "stale");
        QVERIFY(ZipBuilder().add("ABCD.QFS", "pic").write(t.zipPath()));
        t.run();
        QVERIFY2(t.errorText.contains("holds no CAR.VIV"), qPrintable(t.errorText));
        QCOMPARE(treeBelow(folder), QStringList{"ABCD.QFS"});
    }
};

QTEST_GUILESS_MAIN(tst_CarInstaller)
#include "tst_CarInstaller.moc"
