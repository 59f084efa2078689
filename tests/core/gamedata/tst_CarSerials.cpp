#include "TestEnv.h"
#include "TestFiles.h"
#include "VivBuilder.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/Viv.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using TestFiles::readAll;

namespace {

QByteArray entryData(const QByteArray& archive, const QByteArray& name) {
    const QList<VivBuilder::Entry> entries = VivBuilder::parse(archive);
    for (const VivBuilder::Entry& e : entries)
        if (e.name == name)
            return e.data;
    return {};
}

enum class Break { InvalidArchive, MissingArchive, DuplicateNames, BuildHalfWay };

} // namespace

Q_DECLARE_METATYPE(Break)

class tst_CarSerials : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void scanListsFourCharacterEntries() {
        TestEnv env;
        const QString cars = env.gamePath() + "Data/Cars/";
        VivBuilder::installCar(env.gamePath(), "ABCD", VivBuilder::carArchive(7));
        VivBuilder::installCar(env.gamePath(), "BADC", "BIGF but not an archive");
        QDir().mkpath(cars + "NOVV"); // no CAR.VIV
        QDir().mkpath(cars + "efgh"); // archive spelled in lower case
        env.writeFile(cars + "efgh/car.viv", VivBuilder::carArchive(9));
        VivBuilder::installCar(env.gamePath(), "NOFE", // valid, no fedata.eng: serial 0
                               VivBuilder::build({{"carp.txt", VivBuilder::carp(3)}}));
        env.writeFile(cars + "WXYZ", "a plain file"); // counts, cannot be read
        VivBuilder::installCar(env.gamePath(), "ZZZZ", VivBuilder::carArchive(4)); // after it
        QDir().mkpath(cars + "XYZ");
        QDir().mkpath(cars + "ABCDE");
        env.prompts.setAutoOk(true);

        ScanCarSerials(env.session, env.prompts);
        QCOMPARE(env.session.InstalledCarFolders,
                 (QStringList{"", "ABCD", "BADC", "efgh", "NOFE", "NOVV", "WXYZ", "ZZZZ"}));
        QCOMPARE(env.session.InstalledSerials, (QList<qint16>{0, 7, 0, 9, 0, 0, 0, 4}));
        QCOMPARE(CountInstalledCars(env.session), qint16(7));
        QCOMPARE(env.prompts.count(), 2);
        for (int i : {0, 1}) {
            const auto& box = env.prompts.boxes()[i];
            QCOMPARE(box.text, QString("There is a problem with the car [%1]. It has an invalid "
                                       "serial number. Please fix it!")
                                   .arg(i == 0 ? "BADC" : "NOVV"));
            QCOMPARE(box.title, QString("Serial Number"));
            QCOMPARE(box.style, 0);
        }
        QVERIFY(!QFile::exists(cars + "NOVV/CAR.VIV")); // reading never creates the archive
    }

    void scanWithoutCars_data() {
        QTest::addColumn<QString>("carsFolder");
        QTest::newRow("missing Data/Cars") << QString();
        QTest::newRow("empty Data/Cars") << "Data/Cars";
    }
    void scanWithoutCars() {
        QFETCH(QString, carsFolder);
        TestEnv env;
        QDir(env.gamePath() + "Data").removeRecursively();
        if (!carsFolder.isEmpty())
            QDir().mkpath(env.gamePath() + carsFolder);
        env.session.InstalledCarFolders = {"", "OLD1"};
        env.session.InstalledSerials = {0, 3};
        ScanCarSerials(env.session, env.prompts);
        QCOMPARE(env.session.installedCount(), 0);
        QCOMPARE(env.session.InstalledSerials.size(), 1);
        QCOMPARE(CountInstalledCars(env.session), qint16(0));
        QCOMPARE(env.prompts.count(), 0);
    }

    void gameFolderSpelledInLowerCase() {
        TestEnv env;
        QDir(env.gamePath() + "Data").removeRecursively();
        env.writeFile(env.gamePath() + "data/cars/qrst/CAR.VIV", VivBuilder::carArchive(12));
        ScanCarSerials(env.session, env.prompts);
        QCOMPARE(env.session.InstalledCarFolders, (QStringList{"", "qrst"}));
        QCOMPARE(env.session.InstalledSerials, (QList<qint16>{0, 12}));
        QCOMPARE(CarArchivePath(env.session, "QRST"), env.gamePath() + "data/cars/qrst/CAR.VIV");
    }

    void rewriteSerialAndCarId_data() {
        QTest::addColumn<QString>("carId");
        QTest::addColumn<bool>("idWritten");
        QTest::newRow("four characters") << "QWER" << true;
        QTest::newRow("empty car id") << "" << false;
        QTest::newRow("three characters") << "QWE" << false;
        QTest::newRow("five characters") << "QWERT" << false;
    }
    void rewriteSerialAndCarId() {
        QFETCH(QString, carId);
        QFETCH(bool, idWritten);
        TestEnv env;
        const QByteArray before = VivBuilder::build(
            {{"car.fce", QByteArray(3000, 'c')},
             {"CARP_2.TXT", VivBuilder::carp(5)},
             {"carp.txt", VivBuilder::carp(5)},
             {"FeData.Fre", VivBuilder::fedata(5, "OLDI", 900)},
             {"fedata.eng", VivBuilder::fedata(5, "OLDI")},
             {"readme.txt", "Serial Number(0)\r\n5\r\n"}}); // not a carp file: untouched
        const QString path = VivBuilder::installCar(env.gamePath(), "QWER", before);
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        const QFile::Permissions mode = QFile::permissions(path);

        QString error;
        QVERIFY2(SetCarSerial(env.session, path, 12, carId, &error), qPrintable(error));
        const QByteArray after = readAll(path);
        QCOMPARE(VivBuilder::serialsIn(after), (QList<int>{12, 12, 12, 12}));
        QCOMPARE(ReadViv(path, QString(), 1), qint16(12));
        for (const QByteArray name : {"FeData.Fre", "fedata.eng"}) {
            QByteArray want = entryData(before, name);
            want[798] = char(12);
            if (idWritten)
                want.replace(274, 4, "QWER");
            QCOMPARE(entryData(after, name), want);
        }
        QCOMPARE(entryData(after, "car.fce"), entryData(before, "car.fce"));
        QCOMPARE(entryData(after, "readme.txt"), entryData(before, "readme.txt"));
        QCOMPARE(VivBuilder::parse(after).size(), 6);
        QCOMPARE(QFile::permissions(path), mode); // the new archive keeps the old one's mode
        QCOMPARE(TestFiles::filesBelow(env.workDir()),
                 QStringList{"VIVTMP"}); // no scratch file left
        QCOMPARE(TestFiles::filesBelow(env.gamePath() + "Data/Cars/QWER"), QStringList{"CAR.VIV"});
    }

    void carpLines_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("serial line replaced, line ends made CR LF")
            << QByteArray("Serial Number(0)\r\n7\r\nCar Classification(1)\r\n2")
            << QByteArray("Serial Number(0)\r\n12\r\nCar Classification(1)\r\n2\r\n");
        QTest::newRow("lone CR ends a line, lone LF does not")
            << QByteArray("A\nB(0)\r7\rC") << QByteArray("A\nB(0)\r\n12\r\nC\r\n");
        QTest::newRow("every (0) line") << QByteArray("X(0)\r\n1\r\nY(0)\r\n2\r\nZ(1)\r\n3\r\n")
                                        << QByteArray("X(0)\r\n12\r\nY(0)\r\n12\r\nZ(1)\r\n3\r\n");
        QTest::newRow("(0) as the last line gets the serial after it")
            << QByteArray("Name(1)\r\nCar\r\nSerial Number(0)\r\n")
            << QByteArray("Name(1)\r\nCar\r\nSerial Number(0)\r\n12\r\n");
        QTest::newRow("(0) followed by (0): the second is the dropped line")
            << QByteArray("A(0)\r\nB(0)\r\nC\r\n") << QByteArray("A(0)\r\n12\r\nC\r\n");
        QTest::newRow("no (0) line")
            << QByteArray("a\r\n\r\nb \xE9") << QByteArray("a\r\n\r\nb \xE9\r\n");
        QTest::newRow("LF line ends are kept")
            << QByteArray("Serial Number(0)\n7\nCar Classification(1)\n2")
            << QByteArray("Serial Number(0)\n12\nCar Classification(1)\n2\n");
        QTest::newRow("LF line ends, (0) as the last line")
            << QByteArray("Name(1)\nCar\nSerial Number(0)\n")
            << QByteArray("Name(1)\nCar\nSerial Number(0)\n12\n");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void carpLines() {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        TestEnv env;
        const QString path = VivBuilder::installCar(env.gamePath(), "CARP",
                                                    VivBuilder::build({{"carp99.TXT", text}}));
        QVERIFY(SetCarSerial(env.session, path, 12, QString()));
        QCOMPARE(entryData(readAll(path), "carp99.TXT"), expected);
        QVERIFY(!QFile::exists(env.workDir() + "CARP.TMP"));
    }

    void needsNoWorkFolder() {
        TestEnv env;
        QVERIFY(QDir(env.workDir()).removeRecursively()); // a "/SERIAL" start does not make it
        const QString path =
            VivBuilder::installCar(env.gamePath(), "ABCD", VivBuilder::carArchive(3));
        QString error;
        QVERIFY2(SetCarSerial(env.session, path, 4, QString(), &error), qPrintable(error));
        QCOMPARE(ReadViv(path, QString(), 1), qint16(4));
        QVERIFY(!QFileInfo::exists(env.workDir()));
    }

    void shortFedataGrowsToHoldTheSerial() {
        TestEnv env;
        const QString path = VivBuilder::installCar(
            env.gamePath(), "SHRT", VivBuilder::build({{"fedata.fre", QByteArray(100, 'x')}}));
        QVERIFY(SetCarSerial(env.session, path, 33, "SHRT"));
        QByteArray want = QByteArray(100, 'x') + QByteArray(699, '\0');
        want.replace(274, 4, "SHRT");
        want[798] = char(33);
        QCOMPARE(entryData(readAll(path), "fedata.fre"), want);
    }

    void failureLeavesTheArchiveAsItWas_data() {
        QTest::addColumn<Break>("how");
        QTest::newRow("invalid archive") << Break::InvalidArchive;
        QTest::newRow("missing archive") << Break::MissingArchive;
        QTest::newRow("two entries of one name") << Break::DuplicateNames;
        QTest::newRow("build fails half-way") << Break::BuildHalfWay;
    }
    void failureLeavesTheArchiveAsItWas() {
        QFETCH(Break, how);
        TestEnv env;
        // Entries of 40 KB each: every unpacked file is small, the archive is not.
        QByteArray before = VivBuilder::build({{"a.bin", QByteArray(40000, 'a')},
                                               {"b.bin", QByteArray(40000, 'b')},
                                               {"carp.txt", VivBuilder::carp(5)},
                                               {"c.bin", QByteArray(40000, 'c')},
                                               {"fedata.eng", VivBuilder::fedata(5)}});
        if (how == Break::InvalidArchive)
            before[4] = before[4] + 1;
        if (how == Break::DuplicateNames)
            before = VivBuilder::build({{"fedata.eng", VivBuilder::fedata(5)},
                                        {"carp.txt", VivBuilder::carp(5)},
                                        {"fedata.eng", VivBuilder::fedata(5)}});
        const QString folder = env.gamePath() + "Data/Cars/ABCD/";
        QString path = VivBuilder::installCar(env.gamePath(), "ABCD", before);
        if (how == Break::MissingArchive)
            QFile::remove(path);

        rlimit saved{};
        auto oldHandler = SIG_DFL;
        if (how == Break::BuildHalfWay) {
            getrlimit(RLIMIT_FSIZE, &saved);
            oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = saved;
            small.rlim_cur = 64 * 1024;
            QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        QString error;
        const bool ok = SetCarSerial(env.session, path, 9, "NEWI", &error);
        if (how == Break::BuildHalfWay) {
            setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, oldHandler);
        }

        QVERIFY(!ok);
        QVERIFY(!error.isEmpty());
        if (how == Break::MissingArchive) {
            QVERIFY(TestFiles::filesBelow(folder).isEmpty());
        } else {
            QCOMPARE(readAll(path), before);
            QCOMPARE(TestFiles::filesBelow(folder), QStringList{"CAR.VIV"});
        }
        QCOMPARE(TestFiles::filesBelow(env.workDir()),
                 QStringList{"VIVTMP"}); // no scratch file left
    }
};

QTEST_GUILESS_MAIN(tst_CarSerials)
#include "tst_CarSerials.moc"
