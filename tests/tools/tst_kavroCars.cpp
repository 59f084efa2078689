// kavro-cars, the command-line companion, run as a process against a test world's game.
#include "CatalogueText.h"
#include "FakeHttpServer.h"
#include "PictureBytes.h"
#include "ProgramRun.h"
#include "TestEnv.h"
#include "TestFiles.h"
#include "VivBuilder.h"
#include "ZipBuilder.h"
#include "core/catalogue/CatalogueSources.h"
#include "core/gamedata/GameLock.h"
#include "core/session/AppSettings.h"
#include "core/session/StartupMessages.h"
#include "core/session/WorkFolder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <csignal>

namespace {

struct Outcome : ProgramRun {
    QStringList lines; // standard output
};

Outcome runCars(const QStringList& args) {
    Outcome o{ProgramRun::of(QStringLiteral(KAVRO_BIN_DIR "/kavro-cars"), args), {}};
    o.lines = o.output.split(u'\n', Qt::SkipEmptyParts);
    return o;
}

// Every file below the game with its bytes, and every folder: two equal snapshots are two games
// alike byte for byte. The game's lock file, made by the first command that changes the game and
// left there empty, is no part of it.
QMap<QString, QByteArray> snapshot(const QString& game) {
    QMap<QString, QByteArray> files;
    for (const QString& path : TestFiles::filesBelow(game))
        if (path != QLatin1String("Data/.kavro.lock"))
            files.insert(path, QFileInfo(game + path).isDir() ? QByteArray("<folder>")
                                                              : TestFiles::readAll(game + path));
    return files;
}

// A test world whose settings store names the game, with installed cars.
struct World {
    TestEnv env;
    World() {
        env.settings->WriteSetting(RegistryRoot::LocalMachine, AppSettings::kGameKey, "InstallPath",
                                   env.gamePath());
    }
    void installCar(const QString& id, quint8 serial, const QString& name = {}) {
        VivBuilder::installCar(env.gamePath(), id, VivBuilder::carArchive(serial, id.toLatin1()));
        if (!name.isEmpty())
            env.writeFile(env.gamePath() + "Data/Cars/" + id + "/ID.TXT", name.toLatin1() + "\r\n");
    }
    // A car ZIP: CAR.VIV, a video-wall picture and save data, in folder when given.
    QString carZip(const QString& file, quint8 serial, const QString& folder = {}) {
        const QString path = env.root() + "zips/" + file;
        QDir().mkpath(env.root() + "zips");
        ZipBuilder()
            .add(folder + "CAR.VIV", ownCar(file.toLatin1(), serial))
            .add(folder + "PICT1.QFS", "picture")
            .add(folder + "CAR.FEC", "save data")
            .write(path);
        return path;
    }
    // A ZIP of a car of its own (a model entry holding model), with a picture and save data.
    QString ownZip(const QString& file, const QByteArray& model, quint8 serial) {
        const QString path = env.root() + "zips/" + file;
        QDir().mkpath(env.root() + "zips");
        ZipBuilder()
            .add("CAR.VIV", ownCar(model, serial))
            .add("PICT.QFS", "picture of " + model)
            .add("CAR.FEC", "save data")
            .write(path);
        return path;
    }
    static QByteArray ownCar(const QByteArray& model, quint8 serial,
                             const QByteArray& id = "XXXX") {
        QList<VivBuilder::Entry> entries = VivBuilder::carEntries(serial, id);
        entries.append({"model.txt", model});
        return VivBuilder::build(entries);
    }
    // A whole car by hand: folder, ID.TXT, save folder, picture.
    void handCar(const QString& id, quint8 serial, const QByteArray& model) {
        VivBuilder::installCar(env.gamePath(), id, ownCar(model, serial, id.toLatin1()));
        env.writeFile(env.gamePath() + "Data/Cars/" + id + "/ID.TXT", model + "\r\n");
        env.writeFile(env.gamePath() + "SaveData/Cars/" + id + "/CAR.FEC", "save " + model);
        env.writeFile(env.gamePath() + "Data/FeArt/Vidwall/" + id + ".QFS", "wall " + model);
    }
    QList<int> serials() const {
        QList<int> out;
        for (const QString& id :
             QDir(env.gamePath() + "Data/Cars").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            out.append(VivBuilder::serialsIn(
                           TestFiles::readAll(env.gamePath() + "Data/Cars/" + id + "/CAR.VIV"))
                           .value(0));
        return out;
    }
};

// kavro-cars run while this thread keeps handling events, so a fake server of the test answers.
Outcome runCarsServing(const QStringList& args,
                       const QString& program = QStringLiteral(KAVRO_BIN_DIR "/kavro-cars")) {
    QProcess p;
    p.start(program, args);
    QDeadlineTimer deadline(60000);
    while (p.state() != QProcess::NotRunning && !deadline.hasExpired())
        QTest::qWait(10);
    Outcome o{{p.state() == QProcess::NotRunning ? p.exitCode() : -1,
               QString::fromUtf8(p.readAllStandardOutput()),
               QString::fromUtf8(p.readAllStandardError())},
              {}};
    o.lines = o.output.split(u'\n', Qt::SkipEmptyParts);
    return o;
}

// A car ZIP for a host's folder: CAR.VIV and, unless it is left out, an 800 x 600 picture.
void hostZip(const QString& path, bool car = true, bool picture = true) {
    ZipBuilder zip;
    zip.setStored(true).add("readme.txt",
                            QByteArray(1024, 'x')); // more than a download's 512 bytes
    if (picture)
        zip.add("shot.png", PictureBytes::encode(PictureBytes::quadrants(800, 600), "png"));
    if (car)
        zip.add("CAR.VIV", VivBuilder::carArchive(5));
    zip.write(path);
}

// kavro-cars under strace, killed before its n-th call of syscall (none other counts). True
// when the kill came; false when the command ran to its end first.
bool runCarsKilledAt(const QString& strace, const QString& syscall, int n,
                     const QStringList& args) {
    QProcess p;
    p.start(strace, QStringList{"-o", "/dev/null", "-e", "trace=" + syscall, "-e",
                                QString("inject=%1:signal=KILL:when=%2").arg(syscall).arg(n),
                                KAVRO_BIN_DIR "/kavro-cars"} +
                        args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    return p.exitStatus() == QProcess::CrashExit;
}

// strace, when it can trace a program here; empty otherwise.
QString usableStrace() {
    const QString strace = QStandardPaths::findExecutable("strace");
    if (strace.isEmpty())
        return {};
    QProcess p;
    p.start(strace, {"-o", "/dev/null", "/bin/true"});
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0
               ? strace
               : QString();
}

// A car's own paths in the game, as an install places them (the ZIPs of carZip()).
QStringList carPaths(const QString& id) {
    return {"Data/Cars/" + id,
            "Data/Cars/" + id + "/CAR.VIV",
            "Data/Cars/" + id + "/ID.TXT",
            "Data/FeArt/Vidwall/" + id + "1.QFS",
            "SaveData/Cars/" + id,
            "SaveData/Cars/" + id + "/CAR.FEC"};
}

// kavro-cars with another work folder (TEMP), as a second user or a sandboxed copy runs it.
QProcess* startCarsWithTemp(const QString& temp, const QStringList& args) {
    auto* p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TEMP", temp);
    env.insert("TMPDIR", temp);
    p->setProcessEnvironment(env);
    p->start(QStringLiteral(KAVRO_BIN_DIR "/kavro-cars"), args);
    return p;
}

} // namespace

class tst_kavroCars : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Each bad ZIP gets its "failed: " line and leaves the game as it was; the good ZIPs around
    // it still install, one with a serial already taken, one inside a folder of its ZIP.
    void installsEachZipOnItsOwn_data() {
        QTest::addColumn<QString>("bad"); // what the second ZIP is
        QTest::addColumn<QString>("reason");
        QTest::newRow("no CAR.VIV") << "nocar"
                                    << "holds no CAR.VIV";
        QTest::newRow("hostile") << "hostile"
                                 << "../../evil.txt";
        QTest::newRow("missing file") << "missing"
                                      << "there is no file";
        QTest::newRow("not a zip") << "page"
                                   << "cannot read the ZIP \"<zip>\"";
        // A picture under a ZIP's name: the message names the player's file, not a work copy.
        QTest::newRow("PNG named fake.zip") << "fake"
                                            << "cannot read the ZIP \"<zip>\"";
    }
    void installsEachZipOnItsOwn() {
        QFETCH(QString, bad);
        QFETCH(QString, reason);
        World w;
        w.installCar("DMOA", 3, "Demo Alpha");
        // A double quote is legal in a player's file name and reaches the extractor whole.
        const QString first = w.carZip("Aurora \"GT\".zip", 3);
        const QString third = w.carZip("cinder.v2.zip", 20, "Cinder Coupe/");
        QString second = w.env.root() + "zips/" + bad + ".zip";
        if (bad == "nocar")
            ZipBuilder().add("readme.txt", "no car here").write(second);
        else if (bad == "hostile")
            ZipBuilder()
                .add("CAR.VIV", VivBuilder::carArchive(4))
                .add("../../evil.txt", "x")
                .write(second);
        else if (bad == "page")
            w.env.writeFile(second, "<html>Not Found</html>");
        else if (bad == "fake")
            w.env.writeFile(second, QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(64, '\0'));
        reason.replace("<zip>", second);
        const auto before = snapshot(w.env.gamePath());

        const Outcome r = runCars({"install", first, second, third});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(int(r.lines.size()), 3);
        const QRegularExpression installed("^(.*): installed as (....), serial number (\\d+)(.*)$");
        const auto m1 = installed.match(r.lines[0]);
        const auto m3 = installed.match(r.lines[2]);
        QVERIFY2(m1.hasMatch() && m3.hasMatch(), qPrintable(r.lines.join('\n')));
        QCOMPARE(m1.captured(1), first);
        QCOMPARE(m1.captured(3), QString("1")); // 3 is DMOA's: the smallest free one
        QCOMPARE(m1.captured(4),
                 QString(". WARNING: Serial Number conflit with [DMOA]. Serial Number "
                         "changed automatically."));
        QCOMPARE(m3.captured(3), QString("20"));
        QCOMPARE(m3.captured(4), QString());
        QVERIFY2(r.lines[1].startsWith(second + ": failed: ") && r.lines[1].contains(reason),
                 qPrintable(r.lines[1]));

        // Only the two new cars were added, with their names; no copy is left in the work folder.
        const QString a = m1.captured(2), c = m3.captured(2);
        const QString cars = w.env.gamePath() + "Data/Cars/";
        QCOMPARE(TestFiles::readAll(cars + a + "/ID.TXT"), QByteArray("Aurora \"GT\"\r\n"));
        QCOMPARE(TestFiles::readAll(cars + c + "/ID.TXT"), QByteArray("cinder.v2\r\n"));
        auto after = snapshot(w.env.gamePath());
        // Where each car came from, kept beside the garage.
        QVERIFY(after.remove("Data/.kavro-garage") == 1);
        QVERIFY(after.remove("Data/.kavro-garage/ORIGINS.json") == 1);
        // And the identities of the cars in the game, so the next install hashes only its own.
        QVERIFY(after.remove("Data/.kavro-garage/IDENTITIES.json") == 1);
        for (const QString& id : {a, c})
            for (const QString& p :
                 {"Data/Cars/" + id, "Data/Cars/" + id + "/CAR.VIV", "Data/Cars/" + id + "/ID.TXT",
                  "SaveData/Cars/" + id, "SaveData/Cars/" + id + "/CAR.FEC",
                  "Data/FeArt/Vidwall/" + id + "1.QFS"})
                QVERIFY2(after.remove(p) == 1, qPrintable(p));
        QCOMPARE(after, before);
        QCOMPARE(TestFiles::filesBelow(w.env.workDir()), (QStringList{"DOWNLOAD.LOG", "VIVTMP"}));

        // The log holds a block per ZIP in the download log's format.
        const QString log =
            QString::fromLatin1(TestFiles::readAll(w.env.workDir() + "DOWNLOAD.LOG"));
        QVERIFY2(log.startsWith("Aurora \"GT\"\r\n===========\r\nStart at "), qPrintable(log));
        QVERIFY(log.contains("WARNING: Serial Number conflit with [DMOA]"));
        QCOMPARE(log.count("ERRORS : (none)\r\n\r\n"), 2);
        QVERIFY(log.contains(bad + "\r\n" + QString(bad.size(), '=') + "\r\nStart at "));
    }

    // A termination request while an extractor runs gives that car up and installs no more;
    // the game stays as it was.
    void terminationLeavesTheGameAsItWas() {
        World w;
        const QString slow =
            w.env.writeFile(w.env.root() + "slow-unzip", "#!/bin/sh\nexec sleep 30\n");
        QFile::setPermissions(slow, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        w.env.settings->WriteSetting(RegistryRoot::ClassesRoot, AppSettings::kWinZipKey, "",
                                     "\"" + slow + "\" \"%1\"");
        const auto before = snapshot(w.env.gamePath());
        QProcess p;
        p.start(KAVRO_BIN_DIR "/kavro-cars",
                {"install", w.carZip("a.zip", 3), w.carZip("b.zip", 4)});
        QTRY_VERIFY(!QDir(w.env.workDir()).entryList({"CAR1-*"}, QDir::Dirs).isEmpty());
        const Outcome second = runCars({"fix"});
        QCOMPARE(second.exitCode, 1);
        QVERIFY2(second.errorText.contains("another kavro-cars command"),
                 qPrintable(second.errorText));
        p.terminate();
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains("interrupted: "));
        QCOMPARE(snapshot(w.env.gamePath()), before);
        QCOMPARE(TestFiles::filesBelow(w.env.workDir()), (QStringList{"DOWNLOAD.LOG", "VIVTMP"}));
    }

    // The game's limit of 50 cars refuses the whole command before anything is installed.
    void limitOfFiftyCars_data() {
        QTest::addColumn<int>("installed");
        QTest::addColumn<int>("zips");
        QTest::addColumn<QString>("refusal"); // empty: the ZIPs install
        QTest::newRow("5 + 48") << 5 << 48 << "Leave out 3 of the ZIPs";
        QTest::newRow("49 + 2") << 49 << 2 << "Leave out 1 of the ZIPs";
        QTest::newRow("48 + 2") << 48 << 2 << QString();
    }
    void limitOfFiftyCars() {
        QFETCH(int, installed);
        QFETCH(int, zips);
        QFETCH(QString, refusal);
        World w;
        for (int i = 0; i < installed; ++i)
            w.installCar(QString("C%1").arg(i, 3, 10, QChar('0')), quint8(i + 1));
        // A ZIP that an install that failed left in the work folder, under the work's own name.
        const QString zip = w.env.workDir() + "CAR1.ZIP";
        QVERIFY(QFile::copy(w.carZip("car.zip", 9), zip));
        const QByteArray zipBytes = TestFiles::readAll(zip);
        const auto before = snapshot(w.env.gamePath());
        const Outcome r = runCars(QStringList{"install", "--again"} + QStringList(zips, zip));
        QCOMPARE(TestFiles::readAll(zip), zipBytes); // never removed or overwritten
        if (refusal.isEmpty()) {
            QCOMPARE(r.exitCode, 0);
            QCOMPARE(int(r.lines.size()), zips);
            QCOMPARE(int(w.serials().size()), installed + zips);
            return;
        }
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.errorText.contains("at most 50 cars") && r.errorText.contains(refusal),
                 qPrintable(r.errorText));
        QCOMPARE(r.lines, QStringList());
        QCOMPARE(snapshot(w.env.gamePath()), before);
    }

    // A running kavro downloads into the same work folder under the same names: nothing installs.
    void refusedWhileKavroHoldsTheWorkFolder() {
        World w;
        WorkFolder held(w.env.workDir());
        QVERIFY(held.lock());
        w.installCar("DMOA", 3);
        w.installCar("DMOB", 3);
        const auto before = snapshot(w.env.gamePath());
        for (const QStringList& args : {QStringList{"install", w.carZip("car.zip", 9)},
                                        QStringList{"fix"}, QStringList{"remove", "DMOA"}}) {
            const Outcome r = runCars(args);
            QCOMPARE(r.exitCode, 1);
            QVERIFY2(r.errorText.contains("Kavro is already running"), qPrintable(r.errorText));
            QCOMPARE(snapshot(w.env.gamePath()), before);
        }
    }

    // A change killed at its system calls that write, rename or delete (strace injects SIGKILL
    // before the call) leaves no lock that refuses the next command, and the game whole: the
    // next change (fix) finishes or undoes what was under way, and what is left is the game as
    // it was or with the change made in full. A row kills at the moments 1, 2, 4, 8, ... of its
    // call (every moment when KAVRO_TEST_EVERY_KILL is set), until the command gets past its
    // last call.
    void killedAtItsSystemCalls_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("syscall");
        for (const char* change : {"install", "remove", "fix", "undo"})
            for (const char* syscall :
                 {"write", "pwrite64", "ftruncate", "rename", "renameat2", "linkat", "unlink",
                  "rmdir", "mkdir", "fdatasync", "sendfile", "copy_file_range"})
                QTest::addRow("%s at %s", change, syscall) << change << syscall;
    }
    void killedAtItsSystemCalls() {
        QFETCH(QString, change);
        QFETCH(QString, syscall);
        const QString strace = usableStrace();
        if (strace.isEmpty())
            QSKIP("strace is missing or cannot trace here");
        const bool every = qEnvironmentVariableIsSet("KAVRO_TEST_EVERY_KILL");
        int kills = 0;
        for (int n = 1; n <= 400; n = every ? n + 1 : n * 2) {
            World w;
            w.installCar("DMOA", 3, "Demo Alpha");
            w.installCar("DMOB", change == "fix" ? 3 : 4, "Demo B");
            w.env.writeFile(w.env.gamePath() + "SaveData/Cars/DMOB/CAR.FEC", "fec");
            w.env.writeFile(w.env.gamePath() + "Data/FeArt/Vidwall/DMOB1.QFS", "p");
            QStringList args{"list"}; // "undo": the undo at the start of any command
            if (change == "install")
                args = {"install", "--name", "Kill Car", w.carZip("k.zip", 5)};
            else if (change == "remove")
                args = {"remove", "DMOB"};
            else if (change == "fix")
                args = {"fix"};
            const auto before = snapshot(w.env.gamePath());
            if (change == "undo") { // an install killed before its car arrived
                const QString staged = w.env.gamePath() + "Data/.kavro-staging/ZZZZ";
                w.env.writeFile(staged + "/ID.TXT", "Half\r\n");
                w.env.writeFile(staged + "/CAR.VIV", "viv");
                w.env.writeFile(staged + ".PLACED",
                                "tree SaveData/Cars/ZZZZ\r\nfile Data/FeArt/Vidwall/ZZZZ1.QFS\r\n");
                w.env.writeFile(w.env.gamePath() + "SaveData/Cars/ZZZZ/CAR.FEC", "fec");
                w.env.writeFile(w.env.gamePath() + "Data/FeArt/Vidwall/ZZZZ1.QFS", "p");
            }
            if (!runCarsKilledAt(strace, syscall, n, args))
                break;
            ++kills;
            const QString at = QString("%1 killed at %2 #%3").arg(change, syscall).arg(n);
            // The next change is not refused by the killed one's locks.
            const Outcome next = runCars({"fix"});
            QVERIFY2(next.exitCode == 0, qPrintable(at + ": " + next.errorText));
            const auto after = snapshot(w.env.gamePath());
            QStringList added = after.keys(), removed = before.keys();
            added.removeIf([&](const QString& p) {
                // where the car came from, kept in the garage
                return before.contains(p) || p.startsWith("Data/.kavro-garage");
            });
            removed.removeIf([&](const QString& p) { return after.contains(p); });
            QStringList want;
            if (change == "install" && !added.isEmpty()) // the one car whole
                want = carPaths(added.first().section('/', 2, 2));
            if (change == "remove" && !removed.isEmpty()) // the car gone whole
                want = carPaths("DMOB");
            want.sort();
            QVERIFY2(added == (change == "install" ? want : QStringList()),
                     qPrintable(at + ": added " + added.join(' ')));
            QVERIFY2(removed == (change == "remove" ? want : QStringList()),
                     qPrintable(at + ": removed " + removed.join(' ')));
            if (change == "fix") // both archives whole, DMOA renumbered by one fix or the other
                QVERIFY2(w.serials() == (QList<int>{1, 3}), qPrintable(at));
            else // nothing else changed
                for (const QString& p : before.keys())
                    QVERIFY2(!after.contains(p) || after.value(p) == before.value(p),
                             qPrintable(at + ": " + p));
        }
        qInfo("%s at %s: %d kills", qPrintable(change), qPrintable(syscall), kills);
    }

    // Two programs with their own work folders (TEMP) change one game at the same moment: the
    // second waits for the first's lock, so serials stay unique, no install is undone under
    // the one that makes it, and every car is whole.
    void twoProgramsOnOneGame_data() {
        QTest::addColumn<QStringList>("second");
        QTest::newRow("install and install") << QStringList{"install", "<zip>"};
        QTest::newRow("install and list") << QStringList{"list"};
        QTest::newRow("install and fix") << QStringList{"fix"};
        QTest::newRow("install and remove") << QStringList{"remove", "DMOA"};
    }
    void twoProgramsOnOneGame() {
        QFETCH(QStringList, second);
        for (int round = 0; round < 3; ++round) {
            World w;
            w.installCar("DMOA", 5, "Demo Alpha");
            QStringList args = second;
            args.replaceInStrings("<zip>", w.carZip("b.zip", 5));
            std::unique_ptr<QProcess> a(
                startCarsWithTemp(w.env.root() + "temp", {"install", w.carZip("a.zip", 5)}));
            std::unique_ptr<QProcess> b(startCarsWithTemp(w.env.root() + "tempB", args));
            QVERIFY(a->waitForFinished(30000) && b->waitForFinished(30000));
            const QString errors =
                QString::fromUtf8(a->readAllStandardError() + b->readAllStandardError());
            QCOMPARE(a->exitCode(), 0);
            QVERIFY2(b->exitCode() == 0, qPrintable(errors + b->readAllStandardOutput()));
            QVERIFY2(!errors.contains("never finished"), qPrintable(errors));
            const Outcome list = runCars({"list"});
            QVERIFY2(!list.output.contains("conflict") && !list.output.contains("invalid"),
                     qPrintable(list.output));
            QVERIFY(!list.errorText.contains("never finished"));
            const int cars = second.first() == "install" ? 3 : second.first() == "remove" ? 1 : 2;
            QCOMPARE(int(list.lines.size()), cars);
            for (const QString& line : list.lines)
                for (const QString& path : carPaths(line.left(4)).mid(0, 3))
                    QVERIFY2(QFileInfo::exists(w.env.gamePath() + path), qPrintable(path));
        }
    }

    // While another program holds the game's lock, a change waits up to 5 s, then refuses and
    // names the holder (or "another Kavro program" when the lock file does not say); a lock let
    // go within the wait lets the change through. Lock files that a program killed long ago
    // left behind, empty or not, refuse no one.
    void theGamesLock_data() {
        QTest::addColumn<QString>("holder"); // "command", "unknown", "brief": a holder of the lock
        QTest::addColumn<QString>("gameLock"); // else: the game's lock file left with this text
        QTest::addColumn<QString>("workLock"); // and the work folder's
        QTest::addColumn<QString>("refusal");
        QTest::newRow("held by a command") << "command"
                                           << ""
                                           << ""
                                           << "another kavro-cars command";
        QTest::newRow("held, no description")
            << "unknown"
            << ""
            << ""
            << "another Kavro program is changing the game's cars";
        QTest::newRow("let go within the wait") << "brief"
                                                << ""
                                                << ""
                                                << "";
        QTest::newRow("empty game lock left") << ""
                                              << ""
                                              << ""
                                              << "";
        QTest::newRow("garbage game lock left") << ""
                                                << "\x01garbage"
                                                << ""
                                                << "";
        QTest::newRow("dead holder's game lock left") << ""
                                                      << "<dead>"
                                                      << ""
                                                      << "";
        QTest::newRow("empty work folder lock left") << ""
                                                     << ""
                                                     << "<empty>"
                                                     << "";
        QTest::newRow("dead holder's work folder lock left") << ""
                                                             << ""
                                                             << "<dead>"
                                                             << "";
    }
    void theGamesLock() {
        QFETCH(QString, holder);
        QFETCH(QString, gameLock);
        QFETCH(QString, workLock);
        QFETCH(QString, refusal);
        World w;
        w.installCar("DMOA", 3);
        QProcess ended; // a process id that no longer runs
        ended.start("/bin/true");
        QVERIFY(ended.waitForFinished());
        const QByteArray dead = QByteArray::number(ended.processId()) + "\nkavro-cars\n" +
                                QSysInfo::machineHostName().toUtf8() + "\n";
        const QString gameLockFile = w.env.gamePath() + "Data/.kavro.lock";
        if (holder.isEmpty())
            w.env.writeFile(gameLockFile, gameLock == "<dead>" ? dead : gameLock.toLatin1());
        if (!workLock.isEmpty())
            w.env.writeFile(w.env.root() + "temp/Kavro.lock",
                            workLock == "<dead>" ? dead : QByteArray());
        GameLock held(w.env.gamePath());
        if (!holder.isEmpty()) {
            const QString app = QCoreApplication::applicationName();
            QCoreApplication::setApplicationName("kavro-cars"); // the holder's description
            const bool taken = held.lock();
            QCoreApplication::setApplicationName(app);
            QVERIFY(taken);
        }
        if (holder == "unknown")
            QFile(gameLockFile).open(QIODevice::WriteOnly | QIODevice::Truncate);
        if (holder == "brief")
            QTimer::singleShot(1000, [&held] { held.unlock(); });
        const auto before = snapshot(w.env.gamePath());
        const Outcome r = runCarsServing({"remove", "DMOA"});
        if (refusal.isEmpty()) {
            QVERIFY2(r.exitCode == 0, qPrintable(r.errorText));
            QCOMPARE(r.lines, QStringList{"DMOA removed"});
            return;
        }
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.errorText.contains(refusal), qPrintable(r.errorText));
        if (holder == "command")
            QVERIFY2(r.errorText.contains(
                         QString("(process %1)").arg(QCoreApplication::applicationPid())),
                     qPrintable(r.errorText));
        QCOMPARE(snapshot(w.env.gamePath()), before);
    }

    void listsTheInstalledCars() {
        World w;
        w.installCar("DMOA", 3, "Demo Alpha");
        w.installCar("DMOB", 3);
        w.env.writeFile(w.env.gamePath() + "Data/Cars/DMOC/CAR.VIV", "not an archive");
        w.installCar("dmod", 7, "Demo\x1b[2J Delta");
        // An install that was killed before its car arrived: undone by the next command.
        const QString staged = w.env.gamePath() + "Data/.kavro-staging/ZZZZ";
        w.env.writeFile(staged + "/ID.TXT", "Half Car\r\n");
        w.env.writeFile(staged + ".PLACED", "tree SaveData/Cars/ZZZZ\r\n");
        w.env.writeFile(w.env.gamePath() + "SaveData/Cars/ZZZZ/CAR.FEC", "fec");
        const Outcome text = runCars({"list"});
        QCOMPARE(text.exitCode, 0);
        QCOMPARE(text.lines,
                 (QStringList{"DMOA   3  Demo Alpha  [conflict with DMOB]",
                              "DMOB   3  [conflict with DMOA]", "DMOC   0  [invalid archive]",
                              "dmod   7  Demo\\x1b[2J Delta"}));
        QVERIFY2(text.errorText.contains("the install of car ZZZZ (Half Car) never finished"),
                 qPrintable(text.errorText));
        QVERIFY(!QFileInfo::exists(w.env.gamePath() + "Data/.kavro-staging"));
        QVERIFY(!QFileInfo::exists(w.env.gamePath() + "SaveData/Cars/ZZZZ"));
        const Outcome json = runCars({"list", "--json"});
        QCOMPARE(json.exitCode, 0);
        const QJsonArray cars = QJsonDocument::fromJson(json.lines.join('\n').toUtf8()).array();
        QCOMPARE(int(cars.size()), 4);
        QCOMPARE(cars[0].toObject(), (QJsonObject{{"id", "DMOA"},
                                                  {"serial", 3},
                                                  {"name", "Demo Alpha"},
                                                  {"parked", false},
                                                  {"conflictWith", QJsonArray{"DMOB"}},
                                                  {"invalidArchive", false}}));
        QCOMPARE(cars[2].toObject()["invalidArchive"].toBool(), true);
    }

    // A parked car leaves the game whole and comes back whole; list shows it parked; a serial
    // taken meanwhile is renumbered as an install renumbers it; remove removes it from the garage.
    void parksAndReturnsCarsWhole() {
        World w;
        w.handCar("DMOA", 3, "Demo Alpha");
        w.handCar("DMOB", 4, "Demo Beta");
        const auto before = snapshot(w.env.gamePath());
        Outcome r = runCars({"park", "dmoa"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.lines, QStringList{"DMOA parked"});
        for (const char* gone :
             {"Data/Cars/DMOA", "SaveData/Cars/DMOA", "Data/FeArt/Vidwall/DMOA.QFS"})
            QVERIFY2(!QFileInfo::exists(w.env.gamePath() + gone), gone);
        r = runCars({"list"});
        QCOMPARE(r.lines, (QStringList{"DMOB   4  Demo Beta", "DMOA   3  Demo Alpha  [parked]"}));
        r = runCars({"list", "--json"});
        const QJsonArray cars = QJsonDocument::fromJson(r.output.toUtf8()).array();
        QCOMPARE(cars[1].toObject()["parked"].toBool(), true);
        QCOMPARE(cars[0].toObject()["parked"].toBool(), false);
        r = runCars({"unpark", "DMOA"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.lines, QStringList{"DMOA returned, serial number 3"});
        QCOMPARE(snapshot(w.env.gamePath()), before);

        QCOMPARE(runCars({"park", "DMOA"}).exitCode, 0);
        w.handCar("DMOC", 3, "Demo Gamma");
        r = runCars({"unpark", "DMOA"});
        QCOMPARE(r.lines, QStringList{"DMOA returned, serial number 1. WARNING: Serial Number "
                                      "conflit with [DMOC]. Serial Number changed automatically."});
        QCOMPARE(w.serials(), (QList<int>{1, 4, 3}));
        r = runCars({"unpark", "DMOA"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.errorText.contains("no car DMOA is parked. Nothing was moved."),
                 qPrintable(r.errorText));

        QCOMPARE(runCars({"park", "DMOA", "DMOB"}).exitCode, 0);
        r = runCars({"remove", "DMOA"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.lines, QStringList{"DMOA removed"});
        QCOMPARE(runCars({"list"}).lines,
                 (QStringList{"DMOC   3  Demo Gamma", "DMOB   4  Demo Beta  [parked]"}));
    }

    // A set keeps the cars in the game; using it parks the others and returns its own, all or
    // none; past 50 cars it is refused with the limit's words.
    void setsSwitchTheCarsInTheGame() {
        World w;
        for (const QString id : {"DMOA", "DMOB", "DMOC"})
            w.handCar(id, quint8(id.at(3).unicode() - 'A' + 1), id.toLatin1());
        Outcome r = runCars({"set", "save", "All"});
        QCOMPARE(r.lines, QStringList{"Set \"All\" saved: 3 cars"});
        QCOMPARE(runCars({"park", "DMOB", "DMOC"}).exitCode, 0);
        QCOMPARE(runCars({"set", "save", "One"}).exitCode, 0);
        r = runCars({"set", "use", "all"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.lines,
                 (QStringList{"DMOB returned, serial number 2", "DMOC returned, serial number 3",
                              "Set \"All\" in use: 3 of 50 cars in the game"}));
        r = runCars({"set", "use", "One"});
        QCOMPARE(r.lines.mid(0, 2), (QStringList{"DMOB parked", "DMOC parked"}));
        QCOMPARE(runCars({"set", "list"}).lines, (QStringList{"All: DMOA DMOB DMOC", "One: DMOA"}));
        QCOMPARE(runCars({"set", "delete", "one"}).exitCode, 0);
        QCOMPARE(runCars({"set", "list"}).lines, QStringList{"All: DMOA DMOB DMOC"});
        QCOMPARE(runCars({"set", "use", "One"}).exitCode, 1);
        // 48 more cars in the game: a set of those and the two parked ones would make 51.
        QStringList wide{"DMOA", "DMOB", "DMOC"};
        for (int i = 0; i < 48; ++i) {
            w.installCar(QString("C%1").arg(i, 3, 10, QChar('0')), quint8(i + 1));
            wide.append(QString("C%1").arg(i, 3, 10, QChar('0')));
        }
        w.env.writeFile(w.env.gamePath() + "Data/.kavro-garage/SETS.json",
                        "{\"sets\":[{\"name\":\"Wide\",\"cars\":[\"" +
                            wide.join("\",\"").toLatin1() + "\"]}]}");
        const auto before = snapshot(w.env.gamePath());
        r = runCars({"set", "use", "Wide"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.errorText.contains("You have to deselect 1 cars out of the 2 you selected, "
                                      "because you already have 49 cars installed."),
                 qPrintable(r.errorText));
        QCOMPARE(snapshot(w.env.gamePath()), before);
    }

    // The same car is not installed twice, however it came: its ZIP again, renamed, or after a
    // copy by hand; parked, it is named so; --again installs a second copy.
    void refusesACarAlreadyThere_data() {
        QTest::addColumn<QString>("first"); // "zip": installed from its ZIP; "hand": copied in
        QTest::addColumn<bool>("renamed");  // the second ZIP is a renamed copy
        QTest::addColumn<bool>("parked");   // the first copy is parked before the second try
        QTest::addColumn<bool>("again");
        QTest::addColumn<QString>("refusal"); // empty: the second copy installs
        QTest::newRow("same ZIP twice")
            << "zip" << false << false << false << "already installed as ";
        QTest::newRow("same ZIP renamed")
            << "zip" << true << false << false << "already installed as ";
        QTest::newRow("by hand, then its ZIP")
            << "hand" << true << false << false << "already installed as ";
        QTest::newRow("parked, then its ZIP")
            << "zip" << false << true << false << "already parked as ";
        QTest::newRow("--again") << "zip" << false << false << true << QString();
    }
    void refusesACarAlreadyThere() {
        QFETCH(QString, first);
        QFETCH(bool, renamed);
        QFETCH(bool, parked);
        QFETCH(bool, again);
        QFETCH(QString, refusal);
        World w;
        w.handCar("DMOA", 3, "another car");
        const QString zip = w.ownZip("hornet.zip", "hornet", 5);
        QString id = "HAND";
        if (first == "hand") {
            w.handCar(id, 9, "hornet");
        } else {
            const Outcome r = runCars({"install", zip});
            QCOMPARE(r.exitCode, 0);
            id = r.lines.value(0).section(' ', 3, 3).chopped(1);
        }
        if (parked)
            QCOMPARE(runCars({"park", id}).exitCode, 0);
        QString second = zip;
        if (renamed) {
            second = w.env.root() + "zips/Hornet (1).zip";
            QVERIFY(QFile::copy(zip, second));
        }
        const auto before = snapshot(w.env.gamePath());
        const Outcome r = runCars(again ? QStringList{"install", "--again", second}
                                        : QStringList{"install", second});
        if (!refusal.isEmpty()) {
            QCOMPARE(r.exitCode, 1);
            QCOMPARE(r.lines, QStringList{second + ": failed: " + refusal + id});
            // Only the lookup's cache of the garage's identities may have been written.
            auto after = snapshot(w.env.gamePath()), was = before;
            after.remove("Data/.kavro-garage/IDENTITIES.json");
            was.remove("Data/.kavro-garage/IDENTITIES.json");
            QCOMPARE(after, was);
            QVERIFY(TestFiles::readAll(w.env.workDir() + "DOWNLOAD.LOG").contains(("already")));
            return;
        }
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(int(w.serials().size()), 3);
    }

    void fixRepairsThenFindsNothing() {
        World w;
        w.installCar("DMOA", 3);
        w.installCar("DMOB", 3);
        const Outcome first = runCars({"fix"});
        QCOMPARE(first.exitCode, 0);
        QCOMPARE(first.lines, QStringList{"DMOA had a conflit. SN changed from 3 to 1."});
        QCOMPARE(w.serials(), (QList<int>{1, 3}));
        const Outcome second = runCars({"fix"});
        QCOMPARE(second.exitCode, 0);
        QCOMPARE(second.lines, QStringList{"No conflits found."});
        // Every serial held: a conflict that cannot be mended fails the command.
        for (int i = 2; i <= 50; ++i)
            w.installCar(QString("C%1").arg(i, 3, 10, QChar('0')), quint8(i));
        const Outcome third = runCars({"fix"});
        QCOMPARE(third.exitCode, 1);
        QVERIFY2(third.lines.value(0).contains("SN could not be changed"),
                 qPrintable(third.output));
    }

    // A removed car leaves the game byte for byte as it was before its install; the game's own
    // cars go the same way; a bad id refuses the whole command.
    void removesCarsWhole_data() {
        QTest::addColumn<QStringList>("ids"); // "<new>": the car the test installs
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("gone");
        QTest::newRow("installed car") << QStringList{"<new>"} << 0 << QStringList{"<new>"};
        QTest::newRow("own car, any case, twice")
            << QStringList{"dmoa", "DMOA"} << 0 << QStringList{"DMOA"};
        QTest::newRow("three characters") << QStringList{"<new>", "DMO"} << 1 << QStringList{};
        QTest::newRow("five characters") << QStringList{"DMOAX"} << 1 << QStringList{};
        QTest::newRow("not installed") << QStringList{"DMOA", "ZZZZ"} << 1 << QStringList{};
        QTest::newRow("a path") << QStringList{"../x"} << 1 << QStringList{};
    }
    void removesCarsWhole() {
        QFETCH(QStringList, ids);
        QFETCH(int, exitCode);
        QFETCH(QStringList, gone);
        World w;
        w.installCar("DMOA", 3, "Demo Alpha");
        w.env.writeFile(w.env.gamePath() + "SaveData/Cars/DMOA/CAR.FEC", "fec");
        for (const char* picture : {"DMOA.QFS", "dmoa2.qfs", "DMOAX.QFS", "DMOA12.QFS"})
            w.env.writeFile(w.env.gamePath() + "Data/FeArt/Vidwall/" + picture, "p");
        const auto beforeInstall = snapshot(w.env.gamePath());
        const Outcome install = runCars({"install", w.carZip("car.zip", 5)});
        QCOMPARE(install.exitCode, 0);
        const QString id = install.lines.value(0).section("installed as ", 1).left(4);
        ids.replaceInStrings("<new>", id);
        gone.replaceInStrings("<new>", id);
        const auto before = snapshot(w.env.gamePath());

        const Outcome r = runCars(QStringList{"remove"} + ids);
        QCOMPARE(r.exitCode, exitCode);
        const auto after = snapshot(w.env.gamePath());
        if (gone == QStringList{id}) {
            QCOMPARE(after, beforeInstall);
        } else if (gone.isEmpty()) {
            QCOMPARE(after, before);
            QVERIFY2(r.errorText.contains("nothing was removed"), qPrintable(r.errorText));
        } else { // the game's own car: what is left is the game without DMOA's entries
            QStringList left = after.keys(), want = before.keys();
            want.removeIf([](const QString& p) {
                return p.contains("Cars/DMOA") || p.endsWith("DMOA.QFS") || p.endsWith("dmoa2.qfs");
            });
            QCOMPARE(r.lines, QStringList{"DMOA removed"});
            QCOMPARE(left, want);
        }
    }

    // A car that cannot be deleted whole: exit 1, the path named, never "removed"; the next
    // command finishes the removal once the way is clear.
    void removalThatCannotDeleteFails() {
        World w;
        const QString game = w.env.gamePath();
        w.installCar("ABCD", 3);
        const QString fec = w.env.writeFile(game + "SaveData/Cars/ABCD/CAR.FEC", "fec");
        TestFiles::Undeletable block(fec);
        if (!block.ok())
            QSKIP("no way to make a file undeletable here");
        const Outcome r = runCars({"remove", "ABCD"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.errorText.contains("ABCD could not be removed: cannot remove \"" + game +
                                      "SaveData/Cars/ABCD\""),
                 qPrintable(r.errorText));
        QVERIFY2(!r.output.contains("removed"), qPrintable(r.output));
        block.lift();
        const Outcome next = runCars({"list"});
        QCOMPARE(next.exitCode, 0);
        QVERIFY2(next.errorText.contains("the removal of car ABCD was finished"),
                 qPrintable(next.errorText));
        QVERIFY(!QFileInfo::exists(game + "SaveData/Cars/ABCD"));
    }

    // set-game records a game whose names are all in lower case; the install then uses its
    // folders. A folder without the game, or none at all, is refused in one line saying which,
    // and the store keeps what it had.
    void setGame_data() {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("lower case")
            << QStringList{"data/cars", "savedata/cars", "data/feart/vidwall"} << true << "";
        QTest::newRow("no cars folder")
            << QStringList{"data", "savedata/cars"} << false
            << "kavro-cars: <game> does not hold the game: no Data/Cars folder in it\n";
        QTest::newRow("missing folder")
            << QStringList{} << false << "kavro-cars: <game> does not exist\n";
    }
    void setGame() {
        QFETCH(QStringList, folders);
        QFETCH(bool, accepted);
        QFETCH(QString, refusal);
        World w;
        const QString game = w.env.root() + "cd copy";
        for (const QString& f : folders)
            QDir().mkpath(game + "/" + f);
        if (accepted) { // an install killed before its car arrived, undone once the game is known
            w.env.writeFile(game + "/data/.kavro-staging/ZZZZ/ID.TXT", "Half Car\r\n");
            w.env.writeFile(game + "/data/.kavro-staging/ZZZZ.PLACED",
                            "tree savedata/cars/ZZZZ\r\n");
            w.env.writeFile(game + "/savedata/cars/ZZZZ/CAR.FEC", "fec");
        }
        const Outcome r = runCars({"set-game", game});
        const QString stored = w.env.settings->ReadSetting(RegistryRoot::LocalMachine,
                                                           AppSettings::kGameKey, "InstallPath");
        if (!accepted) {
            QCOMPARE(r.exitCode, 1);
            // That line alone: no warning of the libraries beside it.
            QCOMPARE(r.errorText, QString(refusal).replace("<game>", game));
            QCOMPARE(stored, w.env.gamePath());
            return;
        }
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(stored, game);
        QVERIFY2(!r.errorText.contains("QDir"), qPrintable(r.errorText));
        const Outcome install = runCars({"install", "--name", "Aurora GT", w.carZip("a.zip", 3)});
        QCOMPARE(install.exitCode, 0);
        const QString id = install.lines.value(0).section("installed as ", 1).left(4);
        QCOMPARE(TestFiles::filesBelow(game),
                 (QStringList{"data", "data/.kavro-garage", "data/.kavro-garage/ORIGINS.json",
                              "data/.kavro.lock", "data/cars", "data/cars/" + id,
                              "data/cars/" + id + "/CAR.VIV", "data/cars/" + id + "/ID.TXT",
                              "data/feart", "data/feart/vidwall",
                              "data/feart/vidwall/" + id + "1.QFS", "savedata", "savedata/cars",
                              "savedata/cars/" + id, "savedata/cars/" + id + "/CAR.FEC"}));
        QCOMPARE(TestFiles::readAll(game + "/data/cars/" + id + "/ID.TXT"),
                 QByteArray("Aurora GT\r\n"));
    }

    // Every ZIP judged as an install would judge it; the cars listed with relative addresses and
    // a screenshot fitting 640 x 480; run again, a host's edits of names and authors stay.
    void makesACatalogue() {
        TestEnv env;
        const QString zips = env.root() + "zips/", site = env.root() + "site/";
        QDir().mkpath(zips);
        hostZip(zips + "Aurora GT.zip");
        hostZip(zips + "b.zip", true, false);
        hostZip(zips + "nocar.zip", false);
        ZipBuilder().add("CAR.VIV", "not an archive").write(zips + "badviv.zip");
        const QStringList args{"catalogue",     zips,       "--out", site, "--base",
                               "http://h/cars", "--author", "Jo"};
        const Outcome r = runCars(args);
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.lines,
                 (QStringList{"Aurora GT.zip: added", "b.zip: added",
                              "badviv.zip: refused: the car's CAR.VIV is not a valid car archive",
                              "nocar.zip: refused: the car's ZIP holds no CAR.VIV",
                              "For players: http://h/cars/sl.dat",
                              "One-click link: kavro://add?url=http%3A%2F%2Fh%2Fcars%2Fsl.dat"}));
        QCOMPARE(TestFiles::readAll(site + "Kavro_CL.dat"),
                 QByteArray("?CL1\r\nAurora GT\r\nJo\r\nshots/Aurora%20GT.jpg\r\n"
                            "../zips/Aurora%20GT.zip\r\nb\r\nJo\r\n\r\n../zips/b.zip\r\n"));
        QCOMPARE(QImage(site + "shots/Aurora GT.jpg").size(), QSize(640, 480));
        QCOMPARE(TestFiles::readAll(site + "sl.dat"),
                 QByteArray("SL1\r\n1\r\nhttp://h/cars/\r\nKavro_CL.dat\r\nsite\r\n"));

        env.writeFile(site + "Kavro_CL.dat", "?CL1\r\nAurora GT Turbo\r\nKim\r\nx.jpg\r\n"
                                             "../zips/Aurora%20GT.zip\r\n");
        QVERIFY(QFile::remove(zips + "b.zip"));
        QCOMPARE(runCars(args).exitCode, 1);
        QCOMPARE(TestFiles::readAll(site + "Kavro_CL.dat"),
                 QByteArray("?CL1\r\nAurora GT Turbo\r\nKim\r\nshots/Aurora%20GT.jpg\r\n"
                            "../zips/Aurora%20GT.zip\r\n"));
    }

    // What the catalogue already holds is lost only for a ZIP that is no car: its announcements
    // come first as they were, and the entry of a ZIP the extractor could not judge stays.
    void catalogueLosesNothing_data() {
        QTest::addColumn<QString>("extractor"); // the script beside kavro-cars; "real", "none"
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QByteArray>("catalogue"); // after the run, the header and the news
        const QByteArray news = "?CL1\r\nNews\r\nHost\r\n\r\n\r\n";
        const QByteArray judged = "Aurora Edited\r\nKim\r\nshots/a.jpg\r\na.zip\r\n";
        const QByteArray edited = "Aurora Edited\r\nKim\r\nold.jpg\r\na.zip\r\n";
        QTest::newRow("judged") << "real" << QStringList{"a.zip: added", "new.zip: added"}
                                << news + judged + "new\r\nUnknown\r\nshots/new.jpg\r\nnew.zip\r\n";
        QTest::newRow("no extractor")
            << "none"
            << QStringList{"a.zip: kept as it was: not judged here: the extractor \"<bin>\" "
                           "could not be started",
                           "new.zip: not added: not judged here: the extractor \"<bin>\" "
                           "could not be started"}
            << news + edited;
        QTest::newRow("no temporary space")
            << "echo 'cannot write: No space left on device' >&2; exit 4"
            << QStringList{"a.zip: kept as it was: not judged here: cannot write: No space left "
                           "on device",
                           "new.zip: not added: not judged here: cannot write: No space left on "
                           "device"}
            << news + edited;
        QTest::newRow("the ZIP's own fault")
            << "echo 'unsafe name ../x' >&2; exit 3"
            << QStringList{"a.zip: refused: unsafe name ../x", "new.zip: refused: unsafe name ../x"}
            << news;
    }
    void catalogueLosesNothing() {
        QFETCH(QString, extractor);
        QFETCH(QStringList, lines);
        QFETCH(QByteArray, catalogue);
        TestEnv env;
        const QString zips = env.root() + "zips/";
        QDir().mkpath(zips);
        hostZip(zips + "a.zip");
        hostZip(zips + "new.zip");
        env.writeFile(zips + "Kavro_CL.dat",
                      "?CL1\r\nAurora Edited\r\nKim\r\nold.jpg\r\na.zip\r\n"
                      "News\r\nHost\r\n\r\n\r\nGone\r\nJo\r\n\r\ngone.zip\r\n");
        QString program = QStringLiteral(KAVRO_BIN_DIR "/kavro-cars");
        if (extractor != "real") {
            // kavro-cars finds its extractor beside itself.
            QDir().mkpath(env.root() + "bin");
            program = env.root() + "bin/kavro-cars";
            QVERIFY(QFile::copy(QStringLiteral(KAVRO_BIN_DIR "/kavro-cars"), program));
            if (extractor != "none") {
                env.writeFile(env.root() + "bin/kavro-unzip", "#!/bin/sh\n" + extractor.toUtf8());
                QVERIFY(QFile::setPermissions(env.root() + "bin/kavro-unzip",
                                              QFile::ReadOwner | QFile::ExeOwner));
            }
        }
        Outcome r{ProgramRun::of(program, {"catalogue", zips}), {}};
        r.lines = r.output.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(r.exitCode, extractor == "real" ? 0 : 1);
        for (QString& line : r.lines) // the reason a program cannot start is the system's
            if (line.contains("could not be started"))
                line = line.left(line.indexOf(" could not be started") + 21);
        QCOMPARE(r.lines, lines.replaceInStrings("<bin>", env.root() + "bin/kavro-unzip"));
        QCOMPARE(TestFiles::readAll(zips + "Kavro_CL.dat"), catalogue);
    }

    // Ctrl+C while a ZIP is judged: the extractor is stopped and nothing is written.
    void interruptedCatalogueWritesNothing() {
        TestEnv env;
        const QString zips = env.root() + "zips/", bin = env.root() + "bin/";
        QDir().mkpath(zips);
        QDir().mkpath(bin);
        hostZip(zips + "a.zip");
        const QByteArray old = "?CL1\r\nAurora Edited\r\nKim\r\n\r\na.zip\r\n";
        env.writeFile(zips + "Kavro_CL.dat", old);
        QVERIFY(QFile::copy(QStringLiteral(KAVRO_BIN_DIR "/kavro-cars"), bin + "kavro-cars"));
        env.writeFile(bin + "kavro-unzip",
                      "#!/bin/sh\ntouch \"" + bin.toUtf8() + "started\"\nexec sleep 30\n");
        QVERIFY(QFile::setPermissions(bin + "kavro-unzip", QFile::ReadOwner | QFile::ExeOwner));
        QProcess p;
        p.start(bin + "kavro-cars", {"catalogue", zips, "--base", "http://h/"});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(bin + "started"), 10000);
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(p.readAllStandardError().contains("interrupted by SIGINT: nothing was written"),
                 "the stop is named");
        QCOMPARE(TestFiles::readAll(zips + "Kavro_CL.dat"), old);
        QVERIFY(!QFile::exists(zips + "sl.dat"));
        QVERIFY(!QFile::exists(zips + "index.html"));
    }

    // Names as a host's files come: two ZIPs apart only in case, a name the catalogue cannot
    // hold, and one that is HTML; the page shows every name as written.
    void catalogueNamesAndPage() {
        TestEnv env;
        const QString zips = env.root() + "zips/";
        QDir().mkpath(zips);
        for (const char* name : {"x.zip", "x.ZIP", "\u0416uk.zip", "<b>&\".zip"})
            hostZip(zips + QString::fromUtf8(name));
        const Outcome r = runCars({"catalogue", zips, "--base", "https://h.example/c/", "--name",
                                   "Depot <i>", "--author", "Zo\u00eb"});
        QVERIFY2(r.exitCode == 0, qPrintable(r.output + r.errorText));
        QCOMPARE(
            r.lines,
            (QStringList{"<b>&\".zip: added", "x.ZIP: added", "x.zip: added", "\u0416uk.zip: added",
                         "\u0416uk.zip: warning: the name \"\u0416uk\" holds characters that "
                         "the catalogue's Windows-1252 cannot hold; players see \"?uk\"",
                         "For players: https://h.example/c/sl.dat",
                         "One-click link: kavro://add?url=https%3A%2F%2Fh.example%2Fc%2Fsl.dat"}));
        QCOMPARE(TestFiles::readAll(zips + "Kavro_CL.dat"),
                 QByteArray("?CL1\r\n<b>&\"\r\nZo\xeb\r\n"
                            "shots/%3Cb%3E%26%22.jpg\r\n%3Cb%3E%26%22.zip\r\n"
                            "x\r\nZo\xeb\r\nshots/x.jpg\r\nx.ZIP\r\n"
                            "x\r\nZo\xeb\r\nshots/x-2.jpg\r\nx.zip\r\n"
                            "?uk\r\nZo\xeb\r\nshots/%D0%96uk.jpg\r\n%D0%96uk.zip\r\n"));
        QVERIFY(QFile::exists(zips + "shots/x.jpg") && QFile::exists(zips + "shots/x-2.jpg"));
        const QString page = QString::fromUtf8(TestFiles::readAll(zips + "index.html"));
        QVERIFY(page.contains("<h1>Depot &lt;i&gt;</h1>"));
        QVERIFY(page.contains("<h2>&lt;b&gt;&amp;&quot;</h2>\n<p>by Zo\u00eb</p>\n"
                              "<a href=\"%3Cb%3E%26%22.zip\">Download ZIP</a>"));
        QVERIFY(page.contains("<img src=\"shots/x-2.jpg\""));
        QVERIFY(page.contains(
            "<a class=\"add\" href=\"kavro://add?url=https%3A%2F%2Fh.example%2Fc%2Fsl.dat\">"));
        QVERIFY(page.contains("<meta name=\"viewport\""));
        for (const char* outside : {"<script", "<link", "src=\"http", "src=\"//", "@import"})
            QVERIFY2(!page.contains(outside, Qt::CaseInsensitive), outside);
    }

    // A published catalogue checked car by car: exactly what is wrong is named.
    void checksACatalogue_data() {
        QTest::addColumn<QString>("path"); // what is checked
        QTest::addColumn<bool>("broken");  // a ZIP missing, a text screenshot, a ZIP without a car
        QTest::newRow("clean catalogue") << "/cars/Kavro_CL.dat" << false;
        QTest::newRow("clean server list") << "/cars/sl.dat" << false;
        QTest::newRow("broken catalogue") << "/cars/Kavro_CL.dat" << true;
    }
    void checksACatalogue() {
        QFETCH(QString, path);
        QFETCH(bool, broken);
        TestEnv env;
        FakeHttpServer server;
        QVERIFY(server.listen());
        const QString zips = env.root() + "zips/";
        QDir().mkpath(zips);
        for (const QString car : {"a", "b", "c", "d"})
            hostZip(zips + car + ".zip");
        QCOMPARE(runCars({"catalogue", zips, "--base", server.url("/cars/")}).exitCode, 0);
        if (broken) {
            QVERIFY(QFile::remove(zips + "a.zip"));
            env.writeFile(zips + "shots/b.jpg", "not a picture");
            hostZip(zips + "c.zip", false);
        }
        for (const QString& file : TestFiles::filesBelow(zips))
            if (QFileInfo(zips + file).isFile())
                server.routeFile("/cars/" + file, zips + file);
        const QString at = server.url("/cars/");
        const Outcome r = runCarsServing({"check", server.url(path)});
        QVERIFY2(r.exitCode == (broken ? 1 : 0), qPrintable(r.output + r.errorText));
        if (!broken) {
            QCOMPARE(r.lines, (QStringList{"a: OK", "b: OK", "c: OK", "d: OK",
                                           "4 cars checked: 4 OK, 0 wrong",
                                           "For players: " + server.url(path),
                                           "One-click link: kavro://add?url=" +
                                               QUrl::toPercentEncoding(server.url(path))}));
            return;
        }
        QCOMPARE(r.lines,
                 (QStringList{"a: ZIP " + at + "a.zip: HTTP 404 Not Found",
                              "b: screenshot " + at + "shots/b.jpg: not a picture",
                              "c: ZIP " + at + "c.zip: the car's ZIP holds no CAR.VIV", "d: OK",
                              "4 cars checked: 1 OK, 3 wrong", "For players: " + server.url(path),
                              "One-click link: kavro://add?url=" +
                                  QUrl::toPercentEncoding(server.url(path))}));
        const Outcome json = runCarsServing({"check", "--json", server.url(path)});
        const QJsonObject report = QJsonDocument::fromJson(json.output.toUtf8()).object();
        QCOMPARE(report["wrong"].toInt(), 3);
        QCOMPARE(report["cars"].toArray()[3].toObject()["ok"].toBool(), true);
    }

    // The player's catalogue sources from a terminal, in the store kavro reads: add judges the
    // address (exit 1 when refused), list shows what the last fetch found, remove takes it away.
    void sourcesFromATerminal() {
        TestEnv env;
        FakeHttpServer server;
        QVERIFY(server.listen());
        server.route("/sl.dat",
                     FakeResponse::ok(CatalogueText::serverList(
                         {{"http://a/", "Kavro_CL.dat", "A"}, {"http://b/", "p", "B"}})));
        server.route("/page.html", FakeResponse::ok("<html><body>cars</body></html>"));
        const QString list = server.url("/sl.dat");
        Outcome r = runCarsServing({"source", "add", list});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.lines, QStringList{"added " + list + ": a server list with 2 servers"});
        r = runCarsServing({"source", "add", server.url("/page.html")});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.errorText.trimmed(), "kavro-cars: not added: " + server.url("/page.html") +
                                            " is a web page, not a server list or catalogue");
        QCOMPARE(runCars({"source", "add", "ftp://127.0.0.1/sl.dat"}).exitCode, 1);

        r = runCars({"source", "list"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.lines.size(), 1);
        QVERIFY2(r.lines.first().startsWith(list + "  127.0.0.1:" + QString::number(server.port()) +
                                            "  a server list with 2 servers ("),
                 qPrintable(r.output));
        const QJsonArray json =
            QJsonDocument::fromJson(runCars({"source", "list", "--json"}).output.toUtf8()).array();
        QCOMPARE(json.size(), 1);
        QCOMPARE(json[0].toObject()["url"].toString(), list);
        QCOMPARE(CatalogueSources(*env.settings).list().first().url, list); // what kavro reads

        r = runCars({"source", "remove", list});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.lines, QStringList{"removed " + list});
        r = runCars({"source", "remove", list});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.errorText.contains("is not a catalogue source"));
        QCOMPARE(runCars({"source", "list"}).output, QString());
        QCOMPARE(runCars({"source"}).exitCode, 1);
    }

    // What check makes of hand-written answers: each row's catalogue is served at /cars/c.dat
    // beside a good car a.zip (with its screenshot a.png); <at> is the folder's address.
    void checkReadsWhatKavroReads_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("lines"); // standard output, the addresses left out
        QTest::addColumn<QString>("error");     // in standard error
        QTest::newRow("announcements are valid")
            << QByteArray("?CL1\r\nNews: new cars soon\r\nHost\r\n\r\n\r\nA\r\nJo\r\na.png\r\n"
                          "a.zip\r\nClosing\r\nHost\r\na.png\r\n\r\n")
            << 0
            << QStringList{"News: new cars soon: announcement (no ZIP), OK", "A: OK",
                           "Closing: announcement (no ZIP), OK",
                           "1 car checked: 1 OK, 0 wrong; 2 announcements"}
            << QString();
        QTest::newRow("byte-order mark skipped")
            << QByteArray("\xEF\xBB\xBF?CL1\r\nA\r\nJo\r\na.png\r\na.zip\r\n") << 0
            << QStringList{"A: OK", "1 car checked: 1 OK, 0 wrong"} << QString();
        QTest::newRow("web page")
            << QByteArray("<!DOCTYPE HTML>\n<html>\n<head><title>Directory listing for /cars/"
                          "</title></head>\n<body><ul><li><a href=\"a.zip\">a.zip</a></li></ul>"
                          "</body>\n</html>\n")
            << 1 << QStringList{}
            << "kavro-cars: <at>c.dat is a web page, not a server list or catalogue";
        QTest::newRow("control characters escaped, one problem")
            << QByteArray("?CL1\r\nA\x1b[31mred\r\nJo\r\na.png\r\na.zip\r\nCut\r\nJo\r\n") << 1
            << QStringList{"<at>c.dat: the last entry is cut short after 1 complete ones; the "
                           "program shows the corrupt-file message",
                           "A\\x1b[31mred: OK",
                           "1 car checked: 1 OK, 0 wrong; 1 problem with the files themselves"}
            << QString();
        QTest::newRow("the extractor's words name the address")
            << QByteArray("?CL1\r\nA\r\nJo\r\n\r\nnotazip.zip\r\n") << 1
            << QStringList{"A: ZIP <at>notazip.zip: kavro-unzip: cannot read the ZIP "
                           "\"<at>notazip.zip\": Not a zip archive",
                           "1 car checked: 0 OK, 1 wrong"}
            << QString();
        QTest::newRow("every message names its address")
            << QByteArray("?CL1\r\nA\r\nJo\r\nfile:///etc/passwd\r\n ftp://h/a.zip\r\n") << 1
            << QStringList{"A: screenshot <at>file:///etc/passwd: HTTP 404 Not Found; ZIP <at> "
                           "ftp://h/a.zip: HTTP 404 Not Found",
                           "1 car checked: 0 OK, 1 wrong"}
            << QString();
    }
    void checkReadsWhatKavroReads() {
        QFETCH(QByteArray, body);
        QFETCH(int, exitCode);
        QFETCH(QStringList, lines);
        QFETCH(QString, error);
        TestEnv env;
        FakeHttpServer server;
        QVERIFY(server.listen());
        hostZip(env.root() + "a.zip");
        server.routeFile("/cars/a.zip", env.root() + "a.zip");
        server.route("/cars/a.png", FakeResponse::ok(PictureBytes::encode(
                                        PictureBytes::quadrants(64, 48), "png")));
        server.route("/cars/c.dat", FakeResponse::ok(body));
        server.route("/cars/notazip.zip", FakeResponse::ok(QByteArray(2048, 'n')));
        const QString at = server.url("/cars/");
        const Outcome r = runCarsServing({"check", at + "c.dat"});
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.output + r.errorText));
        QStringList shown = r.lines;
        if (error.isEmpty()) {
            QCOMPARE(shown.takeLast(),
                     "One-click link: kavro://add?url=" + QUrl::toPercentEncoding(at + "c.dat"));
            QCOMPARE(shown.takeLast(), "For players: " + at + "c.dat");
        }
        QCOMPARE(shown, lines.replaceInStrings("<at>", at));
        QCOMPARE(r.errorText.trimmed(), error.replace("<at>", at));
    }

    // A temporary copy this machine cannot write (a file size limit of 1 KB) is said as such and
    // not counted against the host.
    void checkSaysLocalFailures() {
        TestEnv env;
        FakeHttpServer server;
        QVERIFY(server.listen());
        hostZip(env.root() + "a.zip"); // over 1 KB
        server.routeFile("/a.zip", env.root() + "a.zip");
        server.route("/c.dat", FakeResponse::ok("?CL1\r\nA\r\nJo\r\n\r\na.zip\r\n"));
        const Outcome r =
            runCarsServing({"-c", "ulimit -f 2; trap '' XFSZ; exec \"$0\" check \"$1\"",
                            KAVRO_BIN_DIR "/kavro-cars", server.url("/c.dat")},
                           "/bin/sh");
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.lines.value(0), "A: not checked: ZIP " + server.url("/a.zip") +
                                       ": this machine cannot write a temporary copy (File too "
                                       "large)");
        QCOMPARE(r.lines.value(1), "1 car checked: 0 OK, 0 wrong, 1 not checked (this machine's "
                                   "failures)");
    }

    // A catalogue far larger than the cars a test can fetch: every entry is refused at once (no
    // http address), and the driver neither recurses nor waits.
    void checksTenThousandEntries() {
        FakeHttpServer server;
        QVERIFY(server.listen());
        QByteArray body; // without a header: the addresses are taken as written
        for (int i = 0; i < 10000; ++i)
            body += "car " + QByteArray::number(i) + "\r\n\r\nftp://nowhere/x.zip\r\n";
        server.route("/c.dat", FakeResponse::ok(body));
        const Outcome r = runCarsServing({"check", server.url("/c.dat")});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.lines.size(), 10003);
        QCOMPARE(r.lines.at(9999),
                 "car 9999: ZIP ftp://nowhere/x.zip: not an http or https address");
        QCOMPARE(r.lines.at(10000), "10000 cars checked: 0 OK, 10000 wrong");
    }

    // The game as kavro finds it, or named by --game; without one, kavro's own start message.
    void commandLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("store"); // the settings store names the game
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("text"); // in the output (exit 0) or the error
        QTest::newRow("settings store") << QStringList{"list"} << true << 0 << "DMOA   3";
        QTest::newRow("--game") << QStringList{"--game", "<game>", "list"} << false << 0
                                << "DMOA   3";
        QTest::newRow("no game") << QStringList{"list"} << false << 1
                                 << StartupMessages::kGameMissing;
        QTest::newRow("no game: how to name it")
            << QStringList{"list"} << false << 1
            << "or record it once with kavro-cars set-game DIR";
        QTest::newRow("--game elsewhere")
            << QStringList{"list", "--game", "<root>"} << true << 1 << "does not hold the game";
        QTest::newRow("unknown command") << QStringList{"lst"} << true << 1 << "unknown command";
        QTest::newRow("--name for two") << QStringList{"install", "--name", "x", "a", "b"} << true
                                        << 1 << "--name names the car of a single ZIP";
        QTest::newRow("--game=DIR after the command")
            << QStringList{"list", "--game=<game>"} << false << 0 << "DMOA   3";
        QTest::newRow("--again for another command")
            << QStringList{"list", "--again"} << true << 1 << "--again is for the install command";
        QTest::newRow("--json for another command")
            << QStringList{"fix", "--json"} << true << 1 << "--json is for the list command";
        QTest::newRow("--name without its value")
            << QStringList{"install", "--name"} << true << 1 << "--name needs a value";
        QTest::newRow("unknown option") << QStringList{"list", "-x"} << true << 1
                                        << "unknown option -x (see kavro-cars --help)";
        QTest::newRow("a command's own help")
            << QStringList{"catalogue", "--help"} << false << 0 << "--author <TEXT>";
        QTest::newRow("help") << QStringList{"--help"} << false << 0
                              << "The game's own cars can be removed too.";
        QTest::newRow("version") << QStringList{"--version"} << false << 0
                                 << QString("kavro-cars %1.%2.%3")
                                        .arg(KAVRO_VERSION_MAJOR)
                                        .arg(KAVRO_VERSION_MINOR)
                                        .arg(KAVRO_VERSION_REVISION);
    }
    // Each command's --help: its own usage and options, not the whole help.
    void commandHelp_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("text");
        QTest::newRow("install") << "install"
                                 << "--name TEXT  the car's name, for a single ZIP";
        QTest::newRow("list") << "list"
                              << "--json       a JSON array";
        QTest::newRow("fix") << "fix"
                             << "free one, as kavro\n/SERIAL does";
        QTest::newRow("remove") << "remove"
                                << "The game's own cars can be removed too.";
        QTest::newRow("set-game") << "set-game"
                                  << "records it as the game's InstallPath";
        QTest::newRow("catalogue") << "catalogue"
                                   << "--author <TEXT>";
        QTest::newRow("check") << "check"
                               << "--json";
    }
    void commandHelp() {
        QFETCH(QString, command);
        QFETCH(QString, text);
        World w;
        const Outcome r = runCars({command, "--help"});
        QCOMPARE(r.exitCode, 0);
        const QString shown = r.lines.join('\n');
        QVERIFY2(shown.startsWith("Usage: kavro-cars " + command), qPrintable(shown));
        QVERIFY2(shown.contains(text) && shown.contains("--help"), qPrintable(shown));
        QVERIFY2(!shown.contains("Commands:"), qPrintable(shown));
    }

    void commandLine() {
        QFETCH(QStringList, args);
        QFETCH(bool, store);
        QFETCH(int, exitCode);
        QFETCH(QString, text);
        World w;
        w.installCar("DMOA", 3);
        if (!store)
            w.env.settings->deleteValue(RegistryRoot::LocalMachine, AppSettings::kGameKey,
                                        "InstallPath");
        args.replaceInStrings("<game>", w.env.gamePath()).replaceInStrings("<root>", w.env.root());
        const Outcome r = runCars(args);
        QCOMPARE(r.exitCode, exitCode);
        const QString shown = exitCode == 0 ? r.lines.join('\n') : r.errorText;
        QVERIFY2(shown.contains(text), qPrintable(shown));
        QVERIFY(exitCode == 0 || r.errorText.startsWith("kavro-cars: "));
    }
};

QTEST_GUILESS_MAIN(tst_kavroCars)
#include "tst_kavroCars.moc"
