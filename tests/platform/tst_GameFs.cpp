#include "platform/GameFs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_GameFs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void wildcard_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("match");
        QTest::newRow("star dot star, no dot") << "ABCD" << "*.*" << true;
        QTest::newRow("four ? only four") << "ABCD.QFS" << "????.QFS" << true;
        QTest::newRow("five is not four") << "ABCDE.QFS" << "????.QFS" << false;
        QTest::newRow("case") << "FeData.ENG" << "fedata.*" << true;
        QTest::newRow("carp") << "CARP_1.TXT" << "carp*.txt" << true;
        QTest::newRow("prefix only") << "xcarp.txt" << "carp*.txt" << false;
    }
    void wildcard() {
        QFETCH(QString, name);
        QFETCH(QString, pattern);
        QFETCH(bool, match);
        QCOMPARE(GameFs::wildcardMatch(name, pattern), match);
    }

    void listingIsSortedWithoutCaseAndSkipsHidden() {
        QTemporaryDir dir;
        for (const char* n : {"beta", "Alpha", "gamma", ".hidden"})
            QFile(dir.filePath(QString::fromLatin1(n))).open(QIODevice::WriteOnly);
        QDir(dir.path()).mkdir("Delta");
        QCOMPARE(GameFs::list(dir.path(), "*.*"), (QStringList{"Alpha", "beta", "gamma"}));
        QCOMPARE(GameFs::list(dir.path(), "*", GameFs::Kind::FilesAndFolders),
                 (QStringList{"Alpha", "beta", "Delta", "gamma"}));
        QCOMPARE(GameFs::list(dir.path() + "/missing", "*.*"), QStringList());
    }

    // Upper-cased ordinal order: "_" (after the capitals) sorts after "C", "a" as "A".
    void listingOrder() {
        QTemporaryDir dir;
        for (const char* n : {"A_GT", "abcd", "ABCE", "a[b]", "A1"})
            QFile(dir.filePath(QString::fromLatin1(n))).open(QIODevice::WriteOnly);
        QCOMPARE(GameFs::list(dir.path(), "*.*"),
                 (QStringList{"A1", "abcd", "ABCE", "a[b]", "A_GT"}));
    }

    void resolveMatchesExistingComponentsWithoutCase() {
        QTemporaryDir dir;
        QDir(dir.path()).mkpath("data/CARS");
        const QString base = dir.path() + "/";
        QCOMPARE(GameFs::resolve(base, "Data/Cars/"), dir.path() + "/data/CARS/");
        QCOMPARE(GameFs::resolve(base, "Data\\Cars\\ABCD"), dir.path() + "/data/CARS/ABCD");
        QCOMPARE(GameFs::resolve(base, "SaveData/Cars"), dir.path() + "/SaveData/Cars");
    }
};

QTEST_GUILESS_MAIN(tst_GameFs)
#include "tst_GameFs.moc"
