// kavro-cars, the command-line companion, run as a process against a test world's game.
#include "FakeHttpServer.h"
#include "PictureBytes.h"
#include "ProgramRun.h"
#include "TestEnv.h"
#include "TestFiles.h"
#include "VivBuilder.h"
#include "ZipBuilder.h"
#include "core/session/AppSettings.h"
#include "core/session/StartupMessages.h"
#include "core/session/WorkFolder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

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
    static QByteArray ownCar(const QByteArray& model, quint8 serial, const QByteArray& id = "XXXX") {
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
Outcome runCarsServing(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(KAVRO_BIN_DIR "/kavro-cars"), args);
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
        const QString first = w.carZip("Aurora GT.zip", 3);
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
        QCOMPARE(TestFiles::readAll(cars + a + "/ID.TXT"), QByteArray("Aurora GT\r\n"));
        QCOMPARE(TestFiles::readAll(cars + c + "/ID.TXT"), QByteArray("cinder.v2\r\n"));
        auto after = snapshot(w.env.gamePath());
        // Where each car came from, kept beside the garage.
        QVERIFY(after.remove("Data/.kavro-garage") == 1);
        QVERIFY(after.remove("Data/.kavro-garage/ORIGINS.json") == 1);
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
        QVERIFY2(log.startsWith("Aurora GT\r\n=========\r\nStart at "), qPrintable(log));
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
        for (const char* gone : {"Data/Cars/DMOA", "SaveData/Cars/DMOA", "Data/FeArt/Vidwall/DMOA.QFS"})
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
        QVERIFY2(r.errorText.contains("no car DMOA is parked. Nothing was moved."), qPrintable(r.errorText));

        QCOMPARE(runCars({"park", "DMOA", "DMOB"}).exitCode, 0);
        r = runCars({"remove", "DMOA"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.lines, QStringList{"DMOA removed"});
        QCOMPARE(runCars({"list"}).lines, (QStringList{"DMOC   3  Demo Gamma", "DMOB   4  Demo Beta  [parked]"}));
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
        QCOMPARE(r.lines, (QStringList{"DMOB returned, serial number 2", "DMOC returned, serial number 3",
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
                        "{\"sets\":[{\"name\":\"Wide\",\"cars\":[\"" + wide.join("\",\"").toLatin1() +
                            "\"]}]}");
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
        QTest::addColumn<QString>("first");  // "zip": installed from its ZIP; "hand": copied in
        QTest::addColumn<bool>("renamed");   // the second ZIP is a renamed copy
        QTest::addColumn<bool>("parked");    // the first copy is parked before the second try
        QTest::addColumn<bool>("again");
        QTest::addColumn<QString>("refusal"); // empty: the second copy installs
        QTest::newRow("same ZIP twice") << "zip" << false << false << false << "already installed as ";
        QTest::newRow("same ZIP renamed") << "zip" << true << false << false << "already installed as ";
        QTest::newRow("by hand, then its ZIP") << "hand" << true << false << false << "already installed as ";
        QTest::newRow("parked, then its ZIP") << "zip" << false << true << false << "already parked as ";
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
            QCOMPARE(snapshot(w.env.gamePath()), before);
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
    // folders. A folder without the game is refused and the store keeps what it had.
    void setGame_data() {
        QTest::addColumn<QStringList>("folders");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("lower case")
            << QStringList{"data/cars", "savedata/cars", "data/feart/vidwall"} << true;
        QTest::newRow("no cars folder") << QStringList{"data", "savedata/cars"} << false;
        QTest::newRow("missing folder") << QStringList{} << false;
    }
    void setGame() {
        QFETCH(QStringList, folders);
        QFETCH(bool, accepted);
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
            QVERIFY2(r.errorText.contains("does not hold the game"), qPrintable(r.errorText));
            QCOMPARE(stored, w.env.gamePath());
            return;
        }
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(stored, game);
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
                              "nocar.zip: refused: the car's ZIP holds no CAR.VIV"}));
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
        QCOMPARE(r.exitCode, broken ? 1 : 0);
        if (!broken) {
            QCOMPARE(r.lines, (QStringList{"a: OK", "b: OK", "c: OK", "d: OK",
                                           "4 cars checked: 4 OK, 0 wrong"}));
            return;
        }
        QCOMPARE(r.lines, (QStringList{"a: ZIP " + at + "a.zip: HTTP 404 Not Found",
                                       "b: screenshot " + at + "shots/b.jpg: not a picture",
                                       "c: ZIP " + at + "c.zip: the car's ZIP holds no CAR.VIV",
                                       "d: OK", "4 cars checked: 1 OK, 3 wrong"}));
        const Outcome json = runCarsServing({"check", "--json", server.url(path)});
        const QJsonObject report = QJsonDocument::fromJson(json.output.toUtf8()).object();
        QCOMPARE(report["wrong"].toInt(), 3);
        QCOMPARE(report["cars"].toArray()[3].toObject()["ok"].toBool(), true);
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
