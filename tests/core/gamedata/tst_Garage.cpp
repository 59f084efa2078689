// The garage: a parked car leaves the game whole and comes back whole, a move ended at any step
// is finished at the next start, and a car is known by its content whatever its id or serial.
#include "TestEnv.h"
#include "TestFiles.h"
#include "VivBuilder.h"
#include "core/gamedata/CarIdentity.h"
#include "core/gamedata/CarOrigins.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/CarSets.h"
#include "core/gamedata/Garage.h"
#include "core/gamedata/Viv.h"

#include <QtTest>

namespace {

// A car of its own (a model entry named for it), with the serial and car id written in.
QByteArray ownCar(const QByteArray& model, quint8 serial, const QByteArray& id = "XXXX") {
    QList<VivBuilder::Entry> entries = VivBuilder::carEntries(serial, id);
    entries.append({"model.txt", model});
    return VivBuilder::build(entries);
}

// Installs a whole car: folder with CAR.VIV and ID.TXT, save folder, two pictures.
void putCar(TestEnv& env, const QString& id, quint8 serial) {
    const QString game = env.gamePath();
    VivBuilder::installCar(game, id, ownCar(id.toLatin1(), serial, id.toLatin1()));
    env.writeFile(game + "Data/Cars/" + id + "/ID.TXT", "Car " + id.toLatin1() + "\r\n");
    env.writeFile(game + "SaveData/Cars/" + id + "/CAR.FEC", "save of " + id.toLatin1());
    env.writeFile(game + "Data/FeArt/Vidwall/" + id + ".QFS", "wall of " + id.toLatin1());
    env.writeFile(game + "Data/FeArt/Vidwall/" + id + "1.QFS", "wall 1 of " + id.toLatin1());
}

// The parts of car id where they are, named alike in the game and in the garage ("car/ID.TXT",
// "save/CAR.FEC", "vidwall/ABCD.QFS"), CAR.VIV by its identity (its serial may change).
QMap<QString, QByteArray> partsOf(const QString& game, const QString& id, bool parked) {
    const QString garage = Garage::root(game) + id + "/";
    const QMap<QString, QString> places =
        parked ? QMap<QString, QString>{{"car", garage + "car"},
                                        {"save", garage + "save"},
                                        {"vidwall", garage + "vidwall"}}
               : QMap<QString, QString>{{"car", game + "Data/Cars/" + id},
                                        {"save", game + "SaveData/Cars/" + id},
                                        {"vidwall", game + "Data/FeArt/Vidwall"}};
    QMap<QString, QByteArray> parts;
    for (auto it = places.cbegin(); it != places.cend(); ++it)
        for (const QString& file : TestFiles::filesBelow(it.value())) {
            if (it.key() == "vidwall" && !file.startsWith(id))
                continue;
            const QString path = it.value() + "/" + file;
            parts.insert(it.key() + "/" + file, file == "CAR.VIV"
                                                    ? CarIdentity::ofArchive(path).toLatin1()
                                                    : TestFiles::readAll(path));
        }
    return parts;
}

const QStringList kCars{"AAAA", "BBBB", "CCCC", "DDDD"};

} // namespace

class tst_Garage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // What an install writes (serial number, car id, line ends of carp*.txt) does not change
    // what a car is; any other byte does.
    void identity_data() {
        QTest::addColumn<QByteArray>("other");
        QTest::addColumn<bool>("same");
        const QList<VivBuilder::Entry> base = VivBuilder::carEntries(5, "XXXX");
        QTest::newRow("other serial and id") << VivBuilder::carArchive(17, "QWER") << true;
        QList<VivBuilder::Entry> lf = VivBuilder::carEntries(9, "ABCD");
        lf[1].data.replace("\r\n", "\n");
        QTest::newRow("carp with LF line ends") << VivBuilder::build(lf) << true;
        QList<VivBuilder::Entry> reordered = base;
        std::reverse(reordered.begin(), reordered.end());
        QTest::newRow("entries in another order") << VivBuilder::build(reordered) << true;
        QList<VivBuilder::Entry> model = base;
        model[0].data[10] = char(model[0].data[10] ^ 1);
        QTest::newRow("one byte of the model") << VivBuilder::build(model) << false;
        QList<VivBuilder::Entry> fedata = base;
        fedata[2].data[500] = char(fedata[2].data[500] ^ 1);
        QTest::newRow("fedata byte outside serial and id") << VivBuilder::build(fedata) << false;
        QTest::newRow("not an archive") << QByteArray("BIGF") << false;
    }
    void identity() {
        QFETCH(QByteArray, other);
        QFETCH(bool, same);
        const QString original = CarIdentity::ofArchiveBytes(VivBuilder::carArchive(5));
        QCOMPARE(original.size(), 64);
        QCOMPARE(CarIdentity::ofArchiveBytes(other) == original, same);
    }

    // Park, return and a switch, ended at each of their steps: afterwards (and after the next
    // start's recovery) every car is whole in the game or whole in the garage, none is lost, no
    // serial is shared in the game, and the next move works.
    void endedAtEachStep_data() {
        QTest::addColumn<QString>("move");
        QTest::newRow("park") << "park";
        QTest::newRow("return") << "return";
        QTest::newRow("switch") << "switch";
    }
    void endedAtEachStep() {
        QFETCH(QString, move);
        for (int kill = 0;; ++kill) {
            TestEnv env;
            Session& s = env.session;
            s.GamePath = env.gamePath();
            for (int i = 0; i < kCars.size(); ++i)
                putCar(env, kCars[i], quint8(3 + i));
            QMap<QString, QMap<QString, QByteArray>> whole;
            for (const QString& id : kCars)
                whole[id] = partsOf(s.GamePath, id, false);
            Garage garage(s);
            if (move != "park") {
                QVERIFY(garage.park({"CCCC", "DDDD"}).ok);
                // Parked, they took AAAA's serial: returning renumbers them.
                for (const QString id : {"CCCC", "DDDD"})
                    env.writeFile(Garage::archivePath(s.GamePath, id),
                                  ownCar(id.toLatin1(), 3, id.toLatin1()));
            }
            int steps = 0;
            garage.beforeStep = [&](int step) {
                steps = step + 1;
                return step == kill ? Garage::StepAnswer::Kill : Garage::StepAnswer::Go;
            };
            const Garage::Result r = move == "park"     ? garage.park({"AAAA", "BBBB"})
                                     : move == "return" ? garage.unpark({"CCCC", "DDDD"})
                                                        : garage.switchTo({"BBBB", "CCCC"});
            garage.beforeStep = {};
            QCOMPARE(r.ok, kill >= steps);
            Garage::recover(s.GamePath);

            QSet<int> serials;
            for (const QString& id : kCars) {
                const auto inGame = partsOf(s.GamePath, id, false);
                const auto parked = partsOf(s.GamePath, id, true);
                QVERIFY2((inGame == whole[id] && parked.isEmpty()) ||
                             (parked == whole[id] && inGame.isEmpty()),
                         qPrintable(QString("%1 at step %2").arg(id).arg(kill)));
                if (!inGame.isEmpty()) {
                    const int serial = ReadViv(CarArchivePath(s, id), QString(), 1);
                    QVERIFY2(!serials.contains(serial), qPrintable(id));
                    serials.insert(serial);
                }
            }
            QVERIFY(!QFileInfo::exists(Garage::root(s.GamePath) + "JOURNAL"));
            // The next move works: every parked car returns.
            const Garage::Result next = garage.unpark(garage.parkedIds());
            QVERIFY2(next.ok, qPrintable(next.error));
            QCOMPARE(InstalledCarIds(s), kCars);
            if (kill >= steps)
                break;
        }
    }

    // A journal that names anything but a car's own places moves nothing else.
    void journalReadBackMovesOnlyCarParts() {
        TestEnv env;
        env.session.GamePath = env.gamePath();
        putCar(env, "AAAA", 3);
        const QString outside = env.writeFile(env.root() + "outside.txt", "keep");
        env.writeFile(Garage::root(env.gamePath()) + "JOURNAL",
                      "kavro garage journal 1\nwhat the park of AAAA\n"
                      "park ../.. car\npark AAAA picture ../../../outside.txt\n"
                      "park AAAA picture BBBB.QFS\npark AAAA car\n");
        QCOMPARE(Garage::recover(env.gamePath()), QStringList{"the park of AAAA was finished"});
        QCOMPARE(Garage(env.session).parkedIds(), QStringList{"AAAA"});
        QCOMPARE(TestFiles::readAll(outside), QByteArray("keep"));
        // Its save folder and pictures were not in the journal: they stay where they are.
        QVERIFY(QFileInfo::exists(env.gamePath() + "SaveData/Cars/AAAA/CAR.FEC"));
    }

    // Returning past 50 cars is refused with the limit's words, nothing moved; a car id taken
    // in the game meanwhile refuses too.
    void returnRefusals() {
        TestEnv env;
        env.session.GamePath = env.gamePath();
        putCar(env, "AAAA", 3);
        Garage garage(env.session);
        QVERIFY(garage.park({"AAAA"}).ok);
        for (int i = 0; i < 50; ++i)
            VivBuilder::installCar(env.gamePath(), QString("C%1").arg(i, 3, 10, QChar('0')),
                                   VivBuilder::carArchive(quint8(i + 1)));
        const auto before = TestFiles::filesBelow(env.gamePath());
        Garage::Result r = garage.unpark({"aaaa"});
        QVERIFY(!r.ok);
        QCOMPARE(r.error, QString("You are only allowed to have a maximum of 50 cars installed "
                                  "with NFSHS. You have to deselect 1 cars out of the 1 you "
                                  "selected, because you already have 50 cars installed."));
        QCOMPARE(TestFiles::filesBelow(env.gamePath()), before);
        QDir(env.gamePath() + "Data/Cars/C000").removeRecursively();
        QDir(env.gamePath() + "Data/Cars/C001").removeRecursively();
        VivBuilder::installCar(env.gamePath(), "AAAA", VivBuilder::carArchive(60));
        r = garage.unpark({"AAAA"});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("a car AAAA is in the game"), qPrintable(r.error));
    }

    // Sets and origins are kept whole, and only what they may hold is read back.
    void setsAndOriginsReadBackTrustNothing() {
        TestEnv env;
        const QString game = env.gamePath();
        CarSets sets(game);
        QVERIFY(sets.save("Rally", {"AAAA", "BBBB"}));
        QVERIFY(sets.save("classics", {}));
        QVERIFY(!sets.save("bad\nname", {}));
        QCOMPARE(sets.names(), (QStringList{"classics", "Rally"}));
        CarSets::Set found;
        QVERIFY(sets.find("RALLY", found));
        QCOMPARE(found.cars, (QStringList{"AAAA", "BBBB"}));
        QVERIFY(sets.remove("rally"));
        QVERIFY(!sets.remove("rally"));
        env.writeFile(CarSets::filePath(game),
                      R"({"sets":[{"name":"ok","cars":["ABCD"]},{"name":"evil","cars":["../.."]},)"
                      R"({"name":7,"cars":[]}]})");
        QCOMPARE(sets.names(), QStringList{"ok"});

        QVERIFY(CarOrigins::record(game, {"ABCD", "a.zip", QString(64, 'a'), QString(64, 'b'),
                                          "http://x/cat", "Aurora"}));
        QCOMPARE(CarOrigins::find(game, "abcd").zipName, QString("a.zip"));
        env.writeFile(CarOrigins::filePath(game),
                      R"({"cars":[{"carId":"../x","zipName":"a.zip"},)"
                      R"({"carId":"WXYZ","zipName":"b.zip","zipSha256":"nothex"},)"
                      R"({"carId":"GOOD","zipName":"c.zip"}]})");
        QCOMPARE(CarOrigins::load(game).size(), 1);
        QCOMPARE(CarOrigins::load(game).first().carId, QString("GOOD"));
    }
};

QTEST_GUILESS_MAIN(tst_Garage)
#include "tst_Garage.moc"
