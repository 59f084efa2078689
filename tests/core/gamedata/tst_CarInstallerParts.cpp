// The pieces of a car install that stand alone: WinZip's extraction line, the car ids and what a
// car id may place in the game.
#include "core/gamedata/CarPaths.h"
#include "core/gamedata/RandomCarId.h"
#include "core/gamedata/Unzip.h"

#include <QProcess>
#include <QSet>
#include <QtTest>

Q_DECLARE_METATYPE(CarPaths::Kind)

class tst_CarInstallerParts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void unzipLine_data() {
        QTest::addColumn<QString>("winZipPath");
        QTest::addColumn<QString>("zip");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("our extractor") << "\"/opt/kavro/kavro-unzip\""
                                       << "/tmp/Kavro/CAR1.ZIP"
                                       << "/tmp/Kavro/CAR1"
                                       << "\"/opt/kavro/kavro-unzip\" -% /extractX "
                                          "\"/tmp/Kavro/CAR1\" \"/tmp/Kavro/CAR1.ZIP\""
                                       << QStringList{"/opt/kavro/kavro-unzip", "-%", "/extractX",
                                                      "/tmp/Kavro/CAR1", "/tmp/Kavro/CAR1.ZIP"};
        QTest::newRow("spaces everywhere")
            << "\"/home/a b/kavro-unzip\""
            << "/home/a b/t/Kavro/CAR12.ZIP"
            << "/home/a b/t/Kavro/CAR12"
            << "\"/home/a b/kavro-unzip\" -% /extractX \"/home/a b/t/Kavro/CAR12\" "
               "\"/home/a b/t/Kavro/CAR12.ZIP\""
            << QStringList{"/home/a b/kavro-unzip", "-%", "/extractX", "/home/a b/t/Kavro/CAR12",
                           "/home/a b/t/Kavro/CAR12.ZIP"};
        QTest::newRow("unquoted command")
            << "/usr/bin/kavro-unzip"
            << "/w/CAR2.ZIP"
            << "/w/CAR2"
            << "/usr/bin/kavro-unzip -% /extractX \"/w/CAR2\" \"/w/CAR2.ZIP\""
            << QStringList{"/usr/bin/kavro-unzip", "-%", "/extractX", "/w/CAR2", "/w/CAR2.ZIP"};
    }
    void unzipLine() {
        QFETCH(QString, winZipPath);
        QFETCH(QString, zip);
        QFETCH(QString, folder);
        QFETCH(QString, line);
        QFETCH(QStringList, words);
        QCOMPARE(UnzipCommandLine(winZipPath, zip, folder), line);
        QCOMPARE(QProcess::splitCommand(line), words);
    }

    void unzipThatCannotStartSaysSo() {
        QString error;
        QVERIFY(!UNZIP("\"/nonexistent/kavro-unzip\"", "/x.zip", "/x", &error));
        QVERIFY2(error.contains("/nonexistent/kavro-unzip"), qPrintable(error));
    }

    void carIdIsFourCapitalsFromItsSeed() {
        QSet<QString> ids;
        QSet<QChar> letters[4];
        for (qint64 seed = 0; seed < 86400; seed += 7) {
            const QString id = RandomCarId(seed);
            QCOMPARE(id.size(), 4);
            for (int i = 0; i < 4; ++i) {
                QVERIFY2(id[i] >= u'A' && id[i] <= u'Z', qPrintable(id));
                letters[i].insert(id[i]);
            }
            QCOMPARE(RandomCarId(seed), id); // the same seed, the same id
            ids.insert(id);
        }
        for (const auto& l : letters)
            QCOMPARE(l.size(), 26);  // every letter turns up in every place
        QVERIFY(ids.size() > 12000); // of 12343 seeds, few collide
    }

    void carIdOfNowIsSeededFromTheTimeOfDay() {
        for (int tries = 0; tries < 5; ++tries) {
            const int before = SecondsSinceMidnight();
            const QString id = RandomCarId();
            if (SecondsSinceMidnight() == before) {
                QCOMPARE(id, RandomCarId(before));
                return;
            }
        }
        QFAIL("the clock kept moving");
    }

    // What the undo of an unfinished install or removal may take away for car ABCD: its own
    // paths, whatever their case, and nothing above, beside or outside them.
    void carPathsAllow_data() {
        using K = CarPaths::Kind;
        QTest::addColumn<QString>("id");
        QTest::addColumn<CarPaths::Kind>("kind");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("save folder") << "ABCD" << K::SaveFolder << "SaveData/Cars/ABCD" << true;
        QTest::newRow("save folder, other case")
            << "ABCD" << K::SaveFolder << "savedata/CARS/abcd" << true;
        QTest::newRow("picture") << "ABCD" << K::Picture << "Data/FeArt/Vidwall/ABCD.QFS" << true;
        QTest::newRow("picture with digit")
            << "ABCD" << K::Picture << "data/feart/VIDWALL/abcd7.qfs" << true;
        for (const char* folder :
             {"Data", "Data/FeArt", "Data/FeArt/Vidwall", "SaveData", "SaveData/Cars"})
            QTest::addRow("made folder %s", folder) << "ABCD" << K::MadeFolder << folder << true;
        // Hostile or foreign lines.
        QTest::newRow("Data as tree") << "ABCD" << K::SaveFolder << "Data" << false;
        QTest::newRow("Data/Cars as tree") << "ABCD" << K::SaveFolder << "Data/Cars" << false;
        QTest::newRow("Data/Cars as folder") << "ABCD" << K::MadeFolder << "Data/Cars" << false;
        QTest::newRow("SaveData as tree") << "ABCD" << K::SaveFolder << "SaveData" << false;
        QTest::newRow("SaveData/Cars as tree")
            << "ABCD" << K::SaveFolder << "SaveData/Cars" << false;
        QTest::newRow("the car folder") << "ABCD" << K::SaveFolder << "Data/Cars/ABCD" << false;
        QTest::newRow("another car's save folder")
            << "ABCD" << K::SaveFolder << "SaveData/Cars/BBBB" << false;
        QTest::newRow("another car's picture")
            << "ABCD" << K::Picture << "Data/FeArt/Vidwall/BBBB.QFS" << false;
        QTest::newRow("picture as tree")
            << "ABCD" << K::SaveFolder << "Data/FeArt/Vidwall/ABCD.QFS" << false;
        QTest::newRow("picture with letter")
            << "ABCD" << K::Picture << "Data/FeArt/Vidwall/ABCDE.QFS" << false;
        QTest::newRow("picture with two digits")
            << "ABCD" << K::Picture << "Data/FeArt/Vidwall/ABCD12.QFS" << false;
        QTest::newRow("absolute") << "ABCD" << K::SaveFolder << "/SaveData/Cars/ABCD" << false;
        QTest::newRow("absolute elsewhere") << "ABCD" << K::SaveFolder << "/home" << false;
        QTest::newRow("parent parts")
            << "ABCD" << K::SaveFolder << "SaveData/Cars/../../Data" << false;
        QTest::newRow("dot part") << "ABCD" << K::SaveFolder << "SaveData/./Cars/ABCD" << false;
        QTest::newRow("double slash") << "ABCD" << K::SaveFolder << "SaveData//Cars/ABCD" << false;
        QTest::newRow("trailing slash")
            << "ABCD" << K::SaveFolder << "SaveData/Cars/ABCD/" << false;
        QTest::newRow("inside the save folder")
            << "ABCD" << K::SaveFolder << "SaveData/Cars/ABCD/CAR.FEC" << false;
        QTest::newRow("backslashes")
            << "ABCD" << K::SaveFolder << "SaveData\\Cars\\ABCD" << false;
        QTest::newRow("empty") << "ABCD" << K::SaveFolder << "" << false;
        QTest::newRow("id \"..\"") << ".." << K::SaveFolder << "SaveData/Cars/.." << false;
        QTest::newRow("id in lower case") << "abcd" << K::SaveFolder << "SaveData/Cars/abcd"
                                          << false;
    }
    void carPathsAllow() {
        QFETCH(QString, id);
        QFETCH(CarPaths::Kind, kind);
        QFETCH(QString, path);
        QFETCH(bool, allowed);
        QCOMPARE(CarPaths::allows(id, kind, path), allowed);
    }

    // A car id is exactly what the installer makes; the archive rewrite's temporary copy is
    // exactly "CAR.VIV." and six letters.
    void carIdsAndLeftoverNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("carId");
        QTest::addColumn<bool>("leftover");
        QTest::newRow("car id") << "ABCD" << true << false;
        QTest::newRow("lower case") << "abcd" << false << false;
        QTest::newRow("digit") << "ABC1" << false << false;
        QTest::newRow("three") << "ABC" << false << false;
        QTest::newRow("five") << "ABCDE" << false << false;
        QTest::newRow("dots") << "...." << false << false;
        QTest::newRow("parent") << ".." << false << false;
        QTest::newRow("accented") << QString::fromUtf8("ABC\u00c9") << false << false;
        QTest::newRow("rewrite copy") << "CAR.VIV.aBcDeF" << false << true;
        QTest::newRow("rewrite copy, other case") << "car.viv.ZZZZZZ" << false << true;
        QTest::newRow("five random") << "CAR.VIV.aBcDe" << false << false;
        QTest::newRow("seven random") << "CAR.VIV.aaBBccD" << false << false;
        QTest::newRow("digits") << "CAR.VIV.a1B2c3" << false << false;
        QTest::newRow("not letters") << "CAR.VIV.aB-cDe" << false << false;
        QTest::newRow("backup") << "CAR.VIV.bak" << false << false;
        QTest::newRow("the archive") << "CAR.VIV" << false << false;
        QTest::newRow("other file") << "CAR.FEC.aBcDeF" << false << false;
    }
    void carIdsAndLeftoverNames() {
        QFETCH(QString, name);
        QFETCH(bool, carId);
        QFETCH(bool, leftover);
        QCOMPARE(CarPaths::isCarId(name), carId);
        QCOMPARE(CarPaths::isArchiveLeftover(name), leftover);
        if (carId) // every id the installer makes is one
            for (qint64 seed = 0; seed < 86400; seed += 997)
                QVERIFY(CarPaths::isCarId(RandomCarId(seed)));
    }
};

QTEST_GUILESS_MAIN(tst_CarInstallerParts)
#include "tst_CarInstallerParts.moc"
