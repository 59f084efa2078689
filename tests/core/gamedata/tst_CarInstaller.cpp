// Installing a downloaded car into the game folders, and what a failed install leaves behind.
#include "TestEnv.h"
#include "TestFiles.h"
#include "VivBuilder.h"
#include "ZipBomb.h"
#include "ZipBuilder.h"
#include "core/gamedata/CarInstaller.h"
#include "core/gamedata/CarRemoval.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/InstallStaging.h"
#include "core/gamedata/RandomCarId.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QStorageInfo>
#include <QTimer>
#include <QtTest>

namespace {

// Every file and folder below root, relative, sorted.
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// The car id bytes at offset 274 of every "fedata.*" entry of an archive.
QList<QByteArray> carIdsIn(const QByteArray& archive) {
    QList<QByteArray> out;
    for (const VivBuilder::Entry& e : VivBuilder::parse(archive))
        if (e.name.toLower().startsWith("fedata."))
            out.append(e.data.mid(274, 4));
    return out;
}

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
        useExtractorScript(QByteArray("sleep ") + QByteArray::number(seconds));
    }
    // A shell script as the extractor; "$3" is the extraction folder.
    void useExtractorScript(const QByteArray& body) {
        const QString script =
            env.writeFile(env.root() + "fake-unzip", "#!/bin/sh\n" + body + "\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.session.WinZipPath = "\"" + script + "\"";
    }
};

} // namespace

class tst_CarInstaller : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A car with its archive, picture and save data, into a game that already has cars.
    void installsTheCarIntoTheGame_data() {
        QTest::addColumn<int>("newSerial");
        QTest::addColumn<int>("expectSerial");
        QTest::addColumn<QString>("warning");
        // Installed: AAAA serial 1, BBBB serial 5.
        QTest::newRow("serial free") << 7 << 7 << QString();
        QTest::newRow("serial taken")
            << 5 << 2
            << "\r\nWARNING: Serial Number conflit with [BBBB]. Serial Number changed "
               "automatically.\r\n\r\n";
    }
    void installsTheCarIntoTheGame() {
        QFETCH(int, newSerial);
        QFETCH(int, expectSerial);
        QFETCH(QString, warning);
        Install t;
        t.env.prompts.setAutoOk(true);
        const QString game = t.env.gamePath();
        VivBuilder::installCar(game, "AAAA", VivBuilder::carArchive(1, "AAAA"));
        VivBuilder::installCar(game, "BBBB", VivBuilder::carArchive(5, "BBBB"));
        ScanCarSerials(t.env.session, t.env.prompts);
        QCOMPARE(t.env.session.installedCount(), 2);

        const QByteArray viv = VivBuilder::carArchive(quint8(newSerial), "ZZZZ");
        QVERIFY(ZipBuilder()
                    .add("CAR.VIV", viv)
                    .add("ABCD.QFS", "picture")
                    .add("CAR.FEC", "save data")
                    .add("readme.txt", "by someone")
                    .write(t.zipPath(2)));
        const QString line = QString::fromUtf8("Caf\u00e9 Racer");
        t.run(2, line);

        QCOMPARE(t.errorText, QString());
        const QString id = t.installer.carId();
        QVERIFY(QRegularExpression("^[A-Z]{4}$").match(id).hasMatch());
        QVERIFY(id != "AAAA" && id != "BBBB");
        QCOMPARE(treeBelow(game + "Data/Cars/" + id), (QStringList{"CAR.VIV", "ID.TXT"}));
        QCOMPARE(readAll(game + "Data/Cars/" + id + "/ID.TXT"), QByteArray("Caf\xe9 Racer\r\n"));
        QCOMPARE(treeBelow(game + "SaveData/Cars/" + id), QStringList{"CAR.FEC"});
        QCOMPARE(readAll(game + "SaveData/Cars/" + id + "/CAR.FEC"), QByteArray("save data"));
        QCOMPARE(treeBelow(game + "Data/FeArt/Vidwall"), QStringList{id + ".QFS"});
        QCOMPARE(readAll(game + "Data/FeArt/Vidwall/" + id + ".QFS"), QByteArray("picture"));

        const QByteArray installed = readAll(game + "Data/Cars/" + id + "/CAR.VIV");
        const QList<QByteArray> ids = carIdsIn(installed);
        QCOMPARE(ids.size(), 3);
        for (const QByteArray& written : ids)
            QCOMPARE(written, id.toLatin1());
        const QList<int> serials = VivBuilder::serialsIn(installed);
        QVERIFY(!serials.isEmpty());
        for (int s : serials)
            QCOMPARE(s, expectSerial);
        QCOMPARE(t.log, "Example GT\r\n" + warning);
        QCOMPARE(t.statuses, (QStringList{"Installing Car...", "."}));
        // The installed cars were not touched.
        QCOMPARE(VivBuilder::serialsIn(readAll(game + "Data/Cars/BBBB/CAR.VIV")).value(0), 5);
        QCOMPARE(t.env.prompts.unexpectedCount(), 0);
    }

    // Which video-wall pictures a car gets, under which names.
    void videoWallPictures_data() {
        QTest::addColumn<QStringList>("inZip");
        QTest::addColumn<QStringList>("expected"); // "<id>" stands for the car id; from=to
        QTest::newRow("four characters")
            << QStringList{"ABCD.QFS"} << QStringList{"ABCD.QFS=<id>.QFS"};
        QTest::newRow("digit in fifth place")
            << QStringList{"ABCD1.QFS"} << QStringList{"ABCD1.QFS=<id>1.QFS"};
        QTest::newRow("letter in fifth place") << QStringList{"ABCDE.QFS"} << QStringList{};
        QTest::newRow("several digits, one letter")
            << QStringList{"ABCD1.QFS", "ABCD2.QFS", "ABCDE.QFS"}
            << QStringList{"ABCD1.QFS=<id>1.QFS", "ABCD2.QFS=<id>2.QFS"};
        QTest::newRow("four wins over five")
            << QStringList{"WXYZ1.QFS", "ABCD.QFS"} << QStringList{"ABCD.QFS=<id>.QFS"};
        QTest::newRow("only the first four")
            << QStringList{"BBBB.QFS", "aaaa.qfs"} << QStringList{"aaaa.qfs=<id>.QFS"};
        QTest::newRow("lower case")
            << QStringList{"abcd3.qfs"} << QStringList{"abcd3.qfs=<id>3.QFS"};
        // A picture already named like a renamed one is placed once, with its own bytes.
        QTest::newRow("already named for the car")
            << QStringList{"<id>1.QFS", "ABCD2.QFS"}
            << QStringList{"<id>1.QFS=<id>1.QFS", "ABCD2.QFS=<id>2.QFS"};
        QTest::newRow("none") << QStringList{"ABC.QFS", "ABCDEF.QFS"} << QStringList{};
    }
    void videoWallPictures() {
        QFETCH(QStringList, inZip);
        QFETCH(QStringList, expected);
        Install t;
        t.installer.timeOfDaySeconds = [] { return 4242; };
        const QString id = RandomCarId(4242);
        ZipBuilder zip;
        zip.add("CAR.VIV", VivBuilder::carArchive(9));
        for (QString name : inZip) {
            name.replace("<id>", id);
            zip.add(name, "bytes of " + name.toLatin1());
        }
        QVERIFY(zip.write(t.zipPath()));
        const QStringList before = treeBelow(t.env.gamePath());
        t.run();
        QCOMPARE(t.errorText, QString());
        QCOMPARE(t.installer.carId(), id);
        QStringList got;
        QStringList want;
        for (QString e : expected) {
            e.replace("<id>", id);
            const QString from = e.section('=', 0, 0);
            const QString to = e.section('=', 1, 1);
            want.append(to);
            QCOMPARE(readAll(t.env.gamePath() + "Data/FeArt/Vidwall/" + to),
                     "bytes of " + from.toLatin1());
        }
        want.sort();
        QCOMPARE(treeBelow(t.env.gamePath() + "Data/FeArt/Vidwall"), want);
        // Removing the car takes away exactly what its install placed.
        QVERIFY(CarRemoval::removeCar(t.env.session, id.toLower()));
        QCOMPARE(treeBelow(t.env.gamePath()), before);
    }

    // Game folders spelled in another case receive the car; nothing is made beside them. A game
    // without them gets them with the usual spelling.
    void gameFoldersWhateverTheirCase_data() {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("cars");
        QTest::addColumn<QString>("saves");
        QTest::addColumn<QString>("vidwall");
        QTest::newRow("other case")
            << QStringList{"data/cars", "savedata/CARS", "data/FEART/vidwall"} << "data/cars/"
            << "savedata/CARS/"
            << "data/FEART/vidwall/";
        QTest::newRow("bare game") << QStringList{} << "Data/Cars/"
                                   << "SaveData/Cars/"
                                   << "Data/FeArt/Vidwall/";
    }
    void gameFoldersWhateverTheirCase() {
        QFETCH(QStringList, existing);
        QFETCH(QString, cars);
        QFETCH(QString, saves);
        QFETCH(QString, vidwall);
        Install t;
        const QString game = t.env.gamePath();
        QDir(game).removeRecursively();
        for (const QString& f : existing)
            QDir().mkpath(game + f);
        QDir().mkpath(game);
        QVERIFY(ZipBuilder()
                    .add("CAR.VIV", VivBuilder::carArchive(3))
                    .add("ABCD.QFS", "p")
                    .add("CAR.FEC", "f")
                    .write(t.zipPath()));
        t.run();
        QCOMPARE(t.errorText, QString());
        const QString id = t.installer.carId();
        QStringList want{cars,
                         cars + id + "/",
                         cars + id + "/CAR.VIV",
                         cars + id + "/ID.TXT",
                         saves,
                         saves + id + "/",
                         saves + id + "/CAR.FEC",
                         vidwall,
                         vidwall + id + ".QFS"};
        for (const QString& f : existing) // and the parents of what existed
            for (QString p = f; p.contains('/'); p = p.section('/', 0, -2))
                want.append(p.section('/', 0, -2) + "/");
        for (const QString& f : QStringList{cars, saves, vidwall})
            want.append(f.section('/', 0, -3) + "/");
        want.removeDuplicates();
        want.removeAll("/");
        want.sort();
        QCOMPARE(treeBelow(game), want);
    }

    // The car's files in a folder of the ZIP are found there; the save folder exists also when
    // the car has no save data.
    void carFilesInOneSubFolder() {
        Install t;
        QVERIFY(ZipBuilder()
                    .add("My Car/CAR.VIV", VivBuilder::carArchive(4))
                    .add("My Car/ABCD.QFS", "pic")
                    .add("readme.txt", "hello")
                    .write(t.zipPath()));
        t.run();
        QCOMPARE(t.errorText, QString());
        const QString id = t.installer.carId();
        const QString game = t.env.gamePath();
        QCOMPARE(treeBelow(game + "Data/Cars/" + id), (QStringList{"CAR.VIV", "ID.TXT"}));
        QCOMPARE(readAll(game + "Data/FeArt/Vidwall/" + id + ".QFS"), QByteArray("pic"));
        QVERIFY(QFileInfo(game + "SaveData/Cars/" + id).isDir());
        QCOMPARE(treeBelow(game + "SaveData/Cars/" + id), QStringList());
    }

    // Cars installed within the same clock second, and an id that is already taken, still get
    // their own ids at once.
    void carIdsAreFreshWithinOneClockSecond() {
        Install t;
        t.installer.timeOfDaySeconds = [] { return 777; };
        // The id the clock would give first is taken (as a save folder only).
        QDir().mkpath(t.env.gamePath() + "SaveData/Cars/" + RandomCarId(777).toLower());
        QStringList ids;
        for (qint16 n = 1; n <= 3; ++n) {
            QVERIFY(ZipBuilder()
                        .add("CAR.VIV", VivBuilder::carArchive(quint8(10 + n)))
                        .write(t.zipPath(n)));
            t.run(n, QStringLiteral("Car %1").arg(n));
            QCOMPARE(t.errorText, QString());
            ids.append(t.installer.carId());
            QCOMPARE(readAll(t.env.gamePath() + "Data/Cars/" + ids.last() + "/ID.TXT"),
                     QStringLiteral("Car %1\r\n").arg(n).toLatin1());
        }
        QVERIFY(!ids.contains(RandomCarId(777)));
        QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), 3);
    }

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
        QTest::newRow("CAR.VIV is no archive") << QByteArray("bad viv") << "CAR.VIV";
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
        } else if (zipKind == "bad viv") {
            // Everything is copied before the archive is found wanting: all of it goes again.
            zip.add("CAR.VIV", viv).add("ABCD1.QFS", "pic").add("CAR.FEC", "fec");
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

    // Out of time, the extractor is asked to stop (SIGTERM) and killed when it does not; what
    // it had unpacked goes too.
    void extractorThatNeverEndsIsStopped_data() {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<int>("minMs"); // the time the stop may take, from the time-out
        QTest::addColumn<int>("maxMs");
        QTest::newRow("ends on SIGTERM")
            << QByteArray("echo part > \"$3/CAR.VIV\"\nexec sleep 60") << 0 << 1500;
        QTest::newRow("ignores SIGTERM")
            << QByteArray("trap '' TERM\necho part > \"$3/CAR.VIV\"\nexec sleep 60") << 2000
            << 4000;
    }
    void extractorThatNeverEndsIsStopped() {
        QFETCH(QByteArray, script);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        Install t;
        t.useExtractorScript(script);
        t.installer.extractorTimeoutMs = 300;
        QVERIFY(ZipBuilder().add("CAR.VIV", "v").write(t.zipPath()));
        const QStringList before = treeBelow(t.env.root());
        QElapsedTimer took;
        took.start();
        t.run();
        const qint64 stopMs = took.elapsed() - 300;
        QCOMPARE(
            t.errorText,
            QString("Installation failed: the extractor did not finish within 0.3 seconds\r\n"));
        QVERIFY2(stopMs >= minMs && stopMs < maxMs, qPrintable(QString::number(stopMs)));
        QStringList after = before + QStringList{"temp/Kavro/CAR1/"};
        after.sort();
        QCOMPARE(treeBelow(t.env.root()), after);
    }

    // Archives made to hurt, through the real extractor: refused at once, with the reason in the
    // car's errors; nothing changes anywhere but the empty extraction folder.
    void hostileZipLeavesNothing_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("bomb by directory: 600 MiB announced")
            << "bomb"
            << "its entries would unpack to more than 512 MiB";
        QTest::newRow("bomb by lying directory: 1000 bytes announced, 600 MiB inflated")
            << "lying bomb"
            << "\"CAR.VIV\" unpacks to more than the 1000 bytes";
        QTest::newRow("10,000 entries") << "entries"
                                        << "it holds 10000 entries";
        QTest::newRow("name of 5,000 characters") << "long name"
                                                  << "a name of 5000 bytes";
        QTest::newRow("control characters in a name")
            << "control"
            << "\"CAR\\x0d\\x0aInstallation complete\\x1b[0m.VIV\" has a control";
    }
    void hostileZipLeavesNothing() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        const qint64 MiB = 1024 * 1024;
        Install t;
        const QString zip = t.zipPath();
        if (kind == "bomb") {
            QVERIFY(ZipBomb::write(zip, "CAR.VIV", 600 * MiB));
        } else if (kind == "lying bomb") {
            QVERIFY(ZipBomb::write(zip, "CAR.VIV", 600 * MiB, 1000));
        } else if (kind == "entries") {
            ZipBuilder b;
            b.add("CAR.VIV", VivBuilder::carArchive(3));
            for (int i = 1; i < 10000; ++i)
                b.add(QByteArray::number(i) + ".TXT", QByteArray());
            QVERIFY(b.write(zip));
        } else {
            const QByteArray name = kind == "long name"
                                        ? QByteArray(4992, 'x') + "/CAR.VIV"
                                        : QByteArray("CAR\r\nInstallation complete\x1b[0m.VIV");
            QVERIFY(ZipBuilder()
                        .add("ABCD.QFS", "picture")
                        .add(name, VivBuilder::carArchive(3))
                        .write(zip));
        }
        QDir().mkpath(t.env.workDir() + "CAR1");
        const QStringList before = treeBelow(t.env.root());
        QElapsedTimer took;
        took.start();
        t.run();
        QVERIFY2(took.elapsed() < 5000, qPrintable(QString::number(took.elapsed())));
        QVERIFY2(t.errorText.startsWith("Installation failed: kavro-unzip: refused the ZIP"),
                 qPrintable(t.errorText));
        QVERIFY2(t.errorText.contains(reason), qPrintable(t.errorText));
        QCOMPARE(t.errorText.count("\r\n"), 1);
        QVERIFY(t.errorText.endsWith("\r\n") && !t.errorText.contains('\x1b'));
        QCOMPARE(treeBelow(t.env.root()), before);
        QCOMPARE(t.installer.carId(), QString());
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

    // An install ended at each of its steps, by a failure there or as if the program was killed
    // there, leaves the game whole: the old car as it was, the new car complete or absent, and
    // after the next start (which undoes what never finished) nothing of an absent car.
    void endedAtEachStepLeavesTheGameWhole_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("kill");
        for (int step = 0; step < 10; ++step) {
            QTest::addRow("failure at step %d", step) << step << false;
            QTest::addRow("killed at step %d", step) << step << true;
        }
    }
    void endedAtEachStepLeavesTheGameWhole() {
        QFETCH(int, step);
        QFETCH(bool, kill);
        Install t;
        const QString game = t.env.gamePath();
        VivBuilder::installCar(game, "AAAA", VivBuilder::carArchive(7, "AAAA"));
        ScanCarSerials(t.env.session);
        QVERIFY(ZipBuilder()
                    .add("CAR.VIV", VivBuilder::carArchive(7))
                    .add("ABCD1.QFS", "one")
                    .add("ABCD2.QFS", "two")
                    .add("CAR.FEC", "fec")
                    .write(t.zipPath()));
        const QStringList before = treeBelow(game);
        const QByteArray oldCar = readAll(game + "Data/Cars/AAAA/CAR.VIV");
        t.installer.timeOfDaySeconds = [] { return 777; };
        const QString id = RandomCarId(777);
        int steps = 0;
        t.installer.beforeStep = [&](int s) {
            steps = s + 1;
            if (s != step)
                return CarInstaller::StepAnswer::Go;
            return kill ? CarInstaller::StepAnswer::Kill : CarInstaller::StepAnswer::Fail;
        };
        t.run();
        const QStringList undone = InstallStaging::undoUnfinished(game); // the next start

        QCOMPARE(readAll(game + "Data/Cars/AAAA/CAR.VIV"), oldCar);
        QVERIFY(!QFileInfo::exists(InstallStaging::root(game)));
        if (step < 9) { // before the car's folder arrived: absent, and nothing of it is left
            QCOMPARE(treeBelow(game), before);
            QCOMPARE(undone.size(), kill && step > 0 ? 1 : 0);
            QVERIFY(undone.join("").contains(id) || undone.isEmpty());
            QCOMPARE(t.errorText.startsWith("Installation failed: "), !kill);
            return;
        }
        QCOMPARE(steps, 10); // every step of the install was offered an end
        QCOMPARE(undone, QStringList());
        QStringList after = before;
        after << "Data/Cars/" + id + "/"
              << "Data/Cars/" + id + "/CAR.VIV"
              << "Data/Cars/" + id + "/ID.TXT"
              << "Data/FeArt/Vidwall/" + id + "1.QFS"
              << "Data/FeArt/Vidwall/" + id + "2.QFS"
              << "SaveData/Cars/" + id + "/"
              << "SaveData/Cars/" + id + "/CAR.FEC";
        after.sort();
        QCOMPARE(treeBelow(game), after);
        QCOMPARE(VivBuilder::serialsIn(readAll(game + "Data/Cars/" + id + "/CAR.VIV")).value(0), 1);
        QCOMPARE(readAll(game + "Data/Cars/" + id + "/ID.TXT"), QByteArray("Example GT\r\n"));
    }

    // What the next start finds in the staging folder is not trusted: only entries named for a
    // car id, only record lines naming that car's own paths, never through a link. Whatever else
    // is there stays where it is, named in one line. Paths are below the test's root; in setup
    // "d:" makes a folder, "f:path=text" a file, "l:path>target" a link; "<S>" is the staging
    // folder, "<root>" the root.
    void hostileStagingTakesOnlyTheCarsOwn_data() {
        QTest::addColumn<QStringList>("setup");
        QTest::addColumn<QStringList>("gone");
        QTest::addColumn<QStringList>("said"); // a part of each line
        QTest::newRow("names that are not car ids")
            << QStringList{"d:<S>abcd", "f:<S>abcd.PLACED=tree SaveData/Cars/BBBB", "d:<S>AB",
                           "f:<S>..PLACED=tree Data", "f:<S>ABCDE=x", "d:<S>AB1D",
                           "l:<S>AB.D>outside/dir"}
            << QStringList{}
            << QStringList{"<S>..PLACED\" is not a car's", "<S>AB\" is not a car's",
                           "<S>AB.D\" is not a car's", "<S>AB1D\" is not a car's",
                           "<S>abcd\" is not a car's", "<S>ABCDE\" is not a car's",
                           "<S>abcd.PLACED\" is not a car's"};
        QTest::newRow("record naming folders outside the car's")
            << QStringList{"d:<S>ABCD", "f:<S>ABCD/CAR.VIV=v",
                           "f:<S>ABCD.PLACED=tree Data\r\ntree Data/Cars\r\ntree SaveData\r\n"
                           "dir Data/Cars\r\ntree <root>outside\r\ntree ../outside\r\n"
                           "tree SaveData/Cars/BBBB\r\nfile Data/FeArt/Vidwall/BBBB.QFS\r\n"
                           "wipe SaveData/Cars/ABCD\r\ntree SaveData/Cars/ABCD",
                           "f:game/SaveData/Cars/ABCD/CAR.FEC=f"}
            << QStringList{"<S>", "game/SaveData/Cars/ABCD/"}
            << QStringList{"names \"wipe SaveData/Cars/ABCD\"",
                           "names \"file Data/FeArt/Vidwall/BBBB.QFS\"",
                           "names \"tree SaveData/Cars/BBBB\"", "names \"tree ../outside\"",
                           "names \"tree <root>outside\"", "names \"dir Data/Cars\"",
                           "names \"tree SaveData\"", "names \"tree Data/Cars\"",
                           "names \"tree Data\"", "the install of car ABCD never finished"};
        QTest::newRow("links in place of the car, its save folder and picture")
            << QStringList{"l:<S>ABCD>outside/dir",
                           "f:<S>ABCD.PLACED=removal\r\ntree SaveData/Cars/ABCD\r\n"
                           "file Data/FeArt/Vidwall/ABCD.QFS",
                           "l:game/SaveData/Cars/ABCD>outside/dir",
                           "l:game/Data/FeArt/Vidwall/ABCD.QFS>outside/keep.txt"}
            << QStringList{"<S>", "game/SaveData/Cars/ABCD/", "game/Data/FeArt/Vidwall/ABCD.QFS"}
            << QStringList{"the removal of car ABCD was finished"};
        QTest::newRow("link in place of the record")
            << QStringList{"d:<S>ABCD", "f:outside/record=tree SaveData/Cars/BBBB",
                           "l:<S>ABCD.PLACED>outside/record"}
            << QStringList{"<S>"} << QStringList{"the install of car ABCD never finished"};
        QTest::newRow("link in place of the staging folder")
            << QStringList{"d:outside/st/ABCD", "f:outside/st/ABCD.PLACED=tree SaveData/Cars/BBBB",
                           "l:game/Data/.kavro-staging>outside/st"}
            << QStringList{} << QStringList{".kavro-staging/\" is not a folder"};
        QTest::newRow("archive rewrite leftovers")
            << QStringList{"f:game/Data/Cars/BBBB/CAR.VIV.aBcDeF=copy",
                           "f:game/Data/Cars/BBBB/CAR.VIV.bak=keep",
                           "f:game/Data/Cars/BBBB/CAR.VIV.1234567=keep",
                           "l:game/Data/Cars/BBBB/CAR.VIV.zzzzzz>outside/keep.txt",
                           "d:game/Data/Cars/BBBB/CAR.VIV.dirdir",
                           "f:outside/car/CAR.VIV.aBcDeF=copy", "l:game/Data/Cars/CCCC>outside/car"}
            << QStringList{"<S>", "game/Data/Cars/BBBB/CAR.VIV.aBcDeF",
                           "game/Data/Cars/BBBB/CAR.VIV.zzzzzz"}
            << QStringList{"removed \"<root>game/Data/Cars/BBBB/CAR.VIV.aBcDeF\"",
                           "removed \"<root>game/Data/Cars/BBBB/CAR.VIV.zzzzzz\""};
    }
    void hostileStagingTakesOnlyTheCarsOwn() {
        QFETCH(QStringList, setup);
        QFETCH(QStringList, gone);
        QFETCH(QStringList, said);
        TestEnv env;
        const QString root = env.root();
        const QString game = env.gamePath();
        VivBuilder::installCar(game, "BBBB", VivBuilder::carArchive(2, "BBBB"));
        env.writeFile(game + "SaveData/Cars/BBBB/CAR.FEC", "fec");
        env.writeFile(game + "Data/FeArt/Vidwall/BBBB.QFS", "pic");
        env.writeFile(root + "outside/keep.txt", "keep");
        env.writeFile(root + "outside/dir/file.txt", "keep");
        const auto expand = [&](QString text) {
            return text.replace("<S>", "game/Data/.kavro-staging/").replace("<root>", root);
        };
        QDir().mkpath(game + "Data/.kavro-staging");
        for (const QString& step : std::as_const(setup)) {
            const QString what = expand(step.mid(2));
            if (step.startsWith("d:")) {
                QVERIFY(QDir().mkpath(root + what));
            } else if (step.startsWith("f:")) {
                env.writeFile(root + what.section('=', 0, 0), what.section('=', 1).toLatin1());
            } else {
                QDir().rmdir(root + what.section('>', 0, 0));
                QVERIFY(QFile::link(root + what.section('>', 1), root + what.section('>', 0, 0)));
            }
        }
        QStringList want = treeBelow(root);
        for (const QString& g : std::as_const(gone))
            want.removeIf([&](const QString& p) { return p.startsWith(expand(g)); });

        const QStringList lines = InstallStaging::undoUnfinished(game);

        QCOMPARE(treeBelow(root), want);
        QCOMPARE(TestFiles::readAll(root + "outside/keep.txt"), QByteArray("keep"));
        QCOMPARE(lines.size(), said.size());
        for (QString part : std::as_const(said)) {
            part.replace("<S>", root + "game/Data/.kavro-staging/").replace("<root>", root);
            QCOMPARE(lines.filter(part, Qt::CaseSensitive).size(), 1);
        }
    }

    // Players keep Data/Cars on another disk behind a link: the car still arrives in one rename
    // (staged beside the real Data/Cars) and leaves in one, also when the removal is finished by
    // the next start. /dev/shm is another filesystem than the temporary folder where the machine
    // says so.
    void carsFolderBehindALink_data() {
        QTest::addColumn<bool>("otherDisk");
        QTest::newRow("another filesystem") << true;
        QTest::newRow("the same filesystem") << false;
    }
    void carsFolderBehindALink() {
        QFETCH(bool, otherDisk);
        Install t;
        QTemporaryDir shm(QStringLiteral("/dev/shm/kavro-test-XXXXXX"));
        const QString real =
            (otherDisk ? shm.path() + "/disk/" : t.env.root() + "disk/") + "NFS Cars";
        if (otherDisk && (!shm.isValid() || QStorageInfo(shm.path()).device() ==
                                                QStorageInfo(t.env.root()).device()))
            QSKIP("/dev/shm is not another filesystem than the temporary folder here");
        const QString game = t.env.gamePath();
        QVERIFY(QDir(game + "Data/Cars").removeRecursively());
        QVERIFY(QDir().mkpath(real));
        QVERIFY(QFile::link(real, game + "Data/Cars"));
        VivBuilder::installCar(game, "AAAA", VivBuilder::carArchive(1, "AAAA"));
        QVERIFY(ZipBuilder()
                    .add("CAR.VIV", VivBuilder::carArchive(4))
                    .add("ABCD.QFS", "pic")
                    .add("CAR.FEC", "fec")
                    .write(t.zipPath()));
        const QStringList gameBefore = treeBelow(game);
        const QString disk = QFileInfo(real).path() + "/";
        const QStringList diskBefore = treeBelow(disk);

        t.run();
        QCOMPARE(t.errorText, QString());
        const QString id = t.installer.carId();
        QCOMPARE(TestFiles::readAll(real + "/" + id + "/ID.TXT"), QByteArray("Example GT\r\n"));
        QVERIFY(QFileInfo::exists(game + "Data/FeArt/Vidwall/" + id + ".QFS"));
        QVERIFY(!QFileInfo::exists(game + "Data/.kavro-staging"));
        QVERIFY(!QFileInfo::exists(disk + ".kavro-staging"));

        QString why;
        QVERIFY2(CarRemoval::removeCar(t.env.session, id, &why), qPrintable(why));
        QCOMPARE(treeBelow(game), gameBefore);
        QCOMPARE(treeBelow(disk), diskBefore);

        // A removal stopped after its rename is finished by the next start.
        InstallStaging staging(game, "AAAA");
        QVERIFY(staging.takeOut(game + "Data/Cars/AAAA",
                                {InstallStaging::treeLine("SaveData/Cars/AAAA")}, why));
        QVERIFY(!QFileInfo::exists(real + "/AAAA"));
        QCOMPARE(InstallStaging::undoUnfinished(game),
                 QStringList{"the removal of car AAAA was finished"});
        QCOMPARE(treeBelow(disk), QStringList{"NFS Cars/"});
    }

    // A removal that cannot delete everything says what, keeps its record, and the next start
    // finishes it once the way is clear.
    void removalThatCannotDeleteIsFinishedLater() {
        Install t;
        const QString game = t.env.gamePath();
        const QStringList before = treeBelow(game);
        VivBuilder::installCar(game, "ABCD", VivBuilder::carArchive(1, "ABCD"));
        const QString fec = t.env.writeFile(game + "SaveData/Cars/ABCD/CAR.FEC", "fec");
        t.env.writeFile(game + "Data/FeArt/Vidwall/ABCD1.QFS", "pic");
        TestFiles::Undeletable block(fec);
        if (!block.ok())
            QSKIP("no way to make a file undeletable here");

        QString why;
        QVERIFY(!CarRemoval::removeCar(t.env.session, "ABCD", &why));
        QCOMPARE(why, "cannot remove \"" + game +
                          "SaveData/Cars/ABCD\" (the next start tries again)");
        QVERIFY(!QFileInfo::exists(game + "Data/Cars/ABCD")); // the game no longer lists it
        const QStringList again = InstallStaging::undoUnfinished(game);
        QCOMPARE(again.size(), 1);
        QVERIFY2(again.first().startsWith("the removal of car ABCD is not finished: cannot "
                                          "remove \"" + game + "SaveData/Cars/ABCD\""),
                 qPrintable(again.first()));
        block.lift();
        QCOMPARE(InstallStaging::undoUnfinished(game),
                 QStringList{"the removal of car ABCD was finished"});
        QCOMPARE(treeBelow(game), before);
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
