#include "TestEnv.h"
#include "TestFiles.h"
#include "VivBuilder.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/SerialConflicts.h"
#include "core/gamedata/Viv.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using TestFiles::readAll;

namespace {

void setTables(Session& s, const QStringList& ids, const QList<qint16>& serials) {
    s.InstalledCarFolders = QStringList{QString()} + ids;
    s.InstalledSerials = QList<qint16>{0} + serials;
}

QList<qint16> oneToFifty() {
    QList<qint16> all;
    for (qint16 i = 1; i <= 50; ++i)
        all.append(i);
    return all;
}

struct Car {
    QString id;
    QByteArray archive; // empty: serial given as a number below
    int serial = 0;
};

} // namespace

Q_DECLARE_METATYPE(Car)

class tst_SerialConflicts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void findFreeSerial_data() {
        QTest::addColumn<QList<qint16>>("serials");
        QTest::addColumn<int>("free");
        QTest::newRow("no cars") << QList<qint16>{} << 1;
        QTest::newRow("1 to 3 held") << QList<qint16>{3, 1, 2} << 4;
        QTest::newRow("0 and numbers over 50 hold nothing") << QList<qint16>{0, 51, 255, 1} << 2;
        QTest::newRow("duplicates") << QList<qint16>{2, 2, 50} << 1;
        QTest::newRow("all 50 held") << oneToFifty() << 0;
    }
    void findFreeSerial() {
        QFETCH(QList<qint16>, serials);
        QFETCH(int, free);
        Session s;
        QStringList ids;
        for (qsizetype i = 0; i < serials.size(); ++i)
            ids.append(QString("C%1").arg(i, 3, 10, QChar('0')));
        setTables(s, ids, serials);
        QCOMPARE(FindFreeSerial(s), qint16(free));
    }

    void findSerialConflict_data() {
        QTest::addColumn<QList<qint16>>("serials");
        QTest::addColumn<int>("serial");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("result");
        const QList<qint16> t{5, 5, 1, 0, 0};
        QTest::newRow("first of a pair") << t << 5 << 1 << 5;
        QTest::newRow("second of a pair") << t << 5 << 2 << 5;
        QTest::newRow("alone") << t << 1 << 3 << 0;
        QTest::newRow("zeros never conflict") << t << 0 << 4 << 0;
        QTest::newRow("not in the tables, index 0") << t << 1 << 0 << 1;
        QTest::newRow("empty tables") << QList<qint16>{} << 5 << 1 << 0;
    }
    void findSerialConflict() {
        QFETCH(QList<qint16>, serials);
        QFETCH(int, serial);
        QFETCH(int, index);
        QFETCH(int, result);
        Session s;
        setTables(s, QStringList(serials.size(), "ABCD"), serials);
        QCOMPARE(FindSerialConflict(s, qint16(serial), index), qint16(result));
    }

    void checkNewCar_data() {
        QTest::addColumn<QList<qint16>>("installed");
        QTest::addColumn<QByteArray>("archive");
        QTest::addColumn<int>("written");
        QTest::addColumn<QString>("warning");
        const QList<qint16> t{5, 1, 0};
        QTest::newRow("free serial kept") << t << VivBuilder::carArchive(7) << 7 << QString();
        QTest::newRow("taken serial: smallest free one")
            << t << VivBuilder::carArchive(5) << 2
            << "\r\nWARNING: Serial Number conflit with [AAAA]. Serial Number changed "
               "automatically.\r\n\r\n";
        QTest::newRow("all 50 held: the car keeps its serial")
            << oneToFifty() << VivBuilder::carArchive(9) << 9
            << "\r\nWARNING: Serial Number conflit with [C009]. No free Serial Number is left, "
               "Serial Number not changed.\r\n\r\n";
        QTest::newRow("no fedata.eng: the other serial bytes are kept")
            << t
            << VivBuilder::build(
                   {{"carp.txt", VivBuilder::carp(9)}, {"fedata.fre", VivBuilder::fedata(9)}})
            << 9 << QString();
        QTest::newRow("no serial meets a broken car's 0: no conflict")
            << t
            << VivBuilder::build(
                   {{"carp.txt", VivBuilder::carp(0)}, {"fedata.fre", VivBuilder::fedata(0)}})
            << 0 << QString();
    }
    void checkNewCar() {
        QFETCH(QList<qint16>, installed);
        QFETCH(QByteArray, archive);
        QFETCH(int, written);
        QFETCH(QString, warning);
        TestEnv env;
        QStringList ids{"AAAA", "BBBB", "CCCC"};
        if (installed.size() == 50) {
            ids.clear();
            for (int i = 1; i <= 50; ++i)
                ids.append(QString("C%1").arg(i, 3, 10, QChar('0')));
        }
        setTables(env.session, ids, installed);
        const Session tablesBefore = env.session;
        const QString path = VivBuilder::installCar(env.gamePath(), "NEWC", archive);

        const SerialCheckResult r = CheckSerialConflit(env.session, path, "NEWC");
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.warning, warning);
        const QByteArray after = readAll(path);
        const QList<int> serials = VivBuilder::serialsIn(after);
        QVERIFY(!serials.isEmpty());
        QCOMPARE(serials, QList<int>(serials.size(), written));
        for (const VivBuilder::Entry& e : VivBuilder::parse(after))
            if (e.name.startsWith("fedata."))
                QCOMPARE(e.data.mid(274, 4), QByteArray("NEWC"));
        QCOMPARE(env.session.InstalledSerials, tablesBefore.InstalledSerials);
        QCOMPARE(env.session.InstalledCarFolders, tablesBefore.InstalledCarFolders);
    }

    void checkNewCarThatCannotBeWritten_data() {
        QTest::addColumn<bool>("invalidArchive");
        QTest::newRow("invalid archive") << true;
        QTest::newRow("rewrite fails") << false;
    }
    void checkNewCarThatCannotBeWritten() {
        QFETCH(bool, invalidArchive);
        TestEnv env;
        setTables(env.session, {"AAAA"}, {5});
        QByteArray bytes = VivBuilder::carArchive(5);
        if (invalidArchive)
            bytes.chop(1);
        else // readable, but two entries of one name cannot be rewritten without losing one
            bytes = VivBuilder::build(
                {{"fedata.eng", VivBuilder::fedata(5)}, {"fedata.eng", VivBuilder::fedata(5)}});
        const QString path = VivBuilder::installCar(env.gamePath(), "NEWC", bytes);
        const SerialCheckResult r = CheckSerialConflit(env.session, path, "NEWC");
        QVERIFY(!r.ok);
        QVERIFY(r.warning.isEmpty()); // nothing changed, so nothing to warn about
        if (invalidArchive)
            QCOMPARE(r.error, kInvalidNewArchiveError);
        else
            QVERIFY(!r.error.isEmpty());
        QCOMPARE(readAll(path), bytes);
    }

    void fixer_data() {
        QTest::addColumn<QList<Car>>("cars");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<int>>("serialsAfter"); // -1: archive must be byte-identical
        QTest::addColumn<int>("boxes");
        QTest::newRow("AAAA 5, BBBB 5, CCCC 1")
            << QList<Car>{{"AAAA", {}, 5}, {"BBBB", {}, 5}, {"CCCC", {}, 1}}
            << QStringList{"AAAA had a conflit. SN changed from 5 to 2."} << QList<int>{2, -1, -1}
            << 0;
        QTest::newRow("three share 7: the last keeps it")
            << QList<Car>{{"AAAA", {}, 7}, {"BBBB", {}, 7}, {"CCCC", {}, 7}}
            << QStringList{"AAAA had a conflit. SN changed from 7 to 1.",
                           "BBBB had a conflit. SN changed from 7 to 2."}
            << QList<int>{1, 2, -1} << 0;
        QTest::newRow("no conflicts")
            << QList<Car>{{"AAAA", {}, 3}, {"BBBB", {}, 4}} << QStringList{"No conflits found."}
            << QList<int>{-1, -1} << 0;
        QTest::newRow("car id in capitals")
            << QList<Car>{{"abcd", {}, 5}, {"EFGH", {}, 5}}
            << QStringList{"ABCD had a conflit. SN changed from 5 to 1."} << QList<int>{1, -1} << 0;
        QTest::newRow("broken archives hold 0 and are left alone")
            << QList<Car>{{"AAAA", "BIGF junk", 0}, {"BBBB", "junk", 0}, {"CCCC", {}, 1}}
            << QStringList{"No conflits found."} << QList<int>{-1, -1, -1} << 2;
        // A car whose archive cannot be unpacked (two entries of one name) is reported, keeps
        // its number, and the run goes on; its partner is then renumbered instead.
        QTest::newRow("a car that cannot be rewritten")
            << QList<Car>{{"AAAA",
                           VivBuilder::build({{"fedata.eng", VivBuilder::fedata(5)},
                                              {"fedata.eng", VivBuilder::fedata(5)}}),
                           5},
                          {"BBBB", {}, 5},
                          {"CCCC", {}, 1}}
            << QStringList{"AAAA had a conflit. SN could not be changed: ",
                           "BBBB had a conflit. SN changed from 5 to 2."}
            << QList<int>{-1, 2, -1} << 0;
        // Serials 1 to 50 all held and a 51st car with 7: nobody is given 0.
        QList<Car> full;
        for (int i = 1; i <= 50; ++i)
            full.append({QString("C%1").arg(i, 3, 10, QChar('0')), {}, i});
        full.append({"C051", {}, 7});
        QTest::newRow("no free serial left")
            << full
            << QStringList{"C007 had a conflit. SN could not be changed: no free serial number is "
                           "left",
                           "C051 had a conflit. SN could not be changed: no free serial number is "
                           "left"}
            << QList<int>(51, -1) << 0;
    }
    void fixer() {
        QFETCH(QList<Car>, cars);
        QFETCH(QStringList, lines);
        QFETCH(QList<int>, serialsAfter);
        QFETCH(int, boxes);
        TestEnv env;
        QVERIFY(QDir(env.workDir()).removeRecursively()); // the fixer's start does not make it
        env.prompts.setAutoOk(true);
        QStringList paths;
        QList<QByteArray> before;
        for (const Car& c : cars) {
            const QByteArray bytes = c.archive.isEmpty()
                                         ? VivBuilder::carArchive(quint8(c.serial), c.id.toLatin1())
                                         : c.archive;
            paths.append(VivBuilder::installCar(env.gamePath(), c.id, bytes));
            before.append(bytes);
        }

        const QStringList got = FixSerialConflicts(env.session, env.prompts);
        QCOMPARE(got.size(), lines.size());
        for (qsizetype i = 0; i < lines.size(); ++i)
            QVERIFY2(got[i].startsWith(lines[i]), qPrintable(got[i]));
        QCOMPARE(env.prompts.count(), boxes);
        for (qsizetype i = 0; i < cars.size(); ++i) {
            const QByteArray after = readAll(paths[i]);
            if (serialsAfter[i] < 0) {
                QCOMPARE(after, before[i]);
                continue;
            }
            const QList<int> serials = VivBuilder::serialsIn(after);
            QCOMPARE(serials, QList<int>(4, serialsAfter[i]));
            QCOMPARE(env.session.InstalledSerials[i + 1], qint16(serialsAfter[i]));
            // the car id bytes are not touched by the fixer
            for (const VivBuilder::Entry& e : VivBuilder::parse(after))
                if (e.name.startsWith("fedata."))
                    QCOMPARE(e.data.mid(274, 4), cars[i].id.toLatin1());
        }

        // A second run finds nothing left to fix (but what had no free serial to take).
        if (!lines.join(u'|').contains(kNoFreeSerialReason))
            QCOMPARE(FixSerialConflicts(env.session, env.prompts),
                     QStringList{"No conflits found."});
    }
};

QTEST_GUILESS_MAIN(tst_SerialConflicts)
#include "tst_SerialConflicts.moc"
