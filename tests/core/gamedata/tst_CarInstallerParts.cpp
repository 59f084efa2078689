// The pieces of a car install that stand alone: WinZip's extraction line and the car ids.
#include "core/gamedata/RandomCarId.h"
#include "core/gamedata/Unzip.h"

#include <QProcess>
#include <QSet>
#include <QtTest>

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
};

QTEST_GUILESS_MAIN(tst_CarInstallerParts)
#include "tst_CarInstallerParts.moc"
