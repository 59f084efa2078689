#include "core/catalogue/ServerList.h"
#include "platform/AnsiText.h"

#include <QtTest>

using Status = ServerList::Status;
Q_DECLARE_METATYPE(ServerList::Status)

namespace {
const QStringList kThree{"http://a.example.net/",
                         "cars/Kavro_CL.dat",
                         "Alpha Cars",
                         "http://b.example.net",
                         "/x.dat",
                         "Beta Cars",
                         "http://c.example.net/",
                         "Kavro_CL.dat",
                         "Gamma Cars"};
}

class tst_ServerList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parse_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<ServerList::Status>("status");
        QTest::addColumn<QStringList>("names");
        const QStringList three{"Alpha Cars", "Beta Cars", "Gamma Cars"};
        QTest::newRow("SL1, three servers")
            << (QStringList{"SL1", "3"} + kThree) << Status::Ok << three;
        QTest::newRow("written on Linux (LF line ends)")
            << AnsiText::splitLines("SL1\n1\nhttp://a/\nKavro_CL.dat\nAlpha Cars\n") << Status::Ok
            << QStringList{"Alpha Cars"};
        QTest::newRow("SL alone is version 0")
            << (QStringList{"SL", "3"} + kThree) << Status::Ok << three;
        QTest::newRow("SL0") << (QStringList{"SL0", "3"} + kThree) << Status::Ok << three;
        QTest::newRow("text after the version")
            << (QStringList{"SL1 Kavro server list v9", "3"} + kThree) << Status::Ok << three;
        QTest::newRow("a letter counts as version 0")
            << (QStringList{"SLx", "3"} + kThree) << Status::Ok << three;
        QTest::newRow("SL2 is outdated")
            << (QStringList{"SL2", "3"} + kThree) << Status::Outdated << QStringList();
        QTest::newRow("SL9 is outdated")
            << (QStringList{"SL9"}) << Status::Outdated << QStringList();
        QTest::newRow("lower-case header")
            << (QStringList{"sl1", "3"} + kThree) << Status::Corrupt << QStringList();
        QTest::newRow("one character")
            << (QStringList{"S", "3"} + kThree) << Status::Corrupt << QStringList();
        QTest::newRow("empty file") << QStringList() << Status::Corrupt << QStringList();
        QTest::newRow("header only") << QStringList{"SL1"} << Status::Corrupt << QStringList();
        QTest::newRow("count 2 of three records")
            << (QStringList{"SL1", "2"} + kThree) << Status::Ok
            << QStringList{"Alpha Cars", "Beta Cars"};
        QTest::newRow("text after the count")
            << (QStringList{"SL1", " 2 servers"} + kThree) << Status::Ok
            << QStringList{"Alpha Cars", "Beta Cars"};
        QTest::newRow("count 1.5 rounds to 2") << (QStringList{"SL1", "1.5"} + kThree) << Status::Ok
                                               << QStringList{"Alpha Cars", "Beta Cars"};
        QTest::newRow("count 2.5 rounds to 2") << (QStringList{"SL1", "2.5"} + kThree) << Status::Ok
                                               << QStringList{"Alpha Cars", "Beta Cars"};
        QTest::newRow("count 0") << (QStringList{"SL1", "0"} + kThree) << Status::Corrupt
                                 << QStringList();
        QTest::newRow("negative count")
            << (QStringList{"SL1", "-2"} + kThree) << Status::Corrupt << QStringList();
        QTest::newRow("count without a number")
            << (QStringList{"SL1", "three"} + kThree) << Status::Corrupt << QStringList();
        QTest::newRow("count past 16 bits")
            << (QStringList{"SL1", "40000"} + kThree) << Status::Corrupt << QStringList();
        QTest::newRow("fewer records than counted")
            << (QStringList{"SL1", "4"} + kThree) << Status::Corrupt << QStringList();
        QTest::newRow("last record cut short")
            << (QStringList{"SL1", "3"} + kThree.mid(0, 8)) << Status::Corrupt << QStringList();
    }
    void parse() {
        QFETCH(QStringList, lines);
        QFETCH(ServerList::Status, status);
        QFETCH(QStringList, names);
        ServerList list;
        list.ServerNames << "left over"; // every parse starts afresh
        QCOMPARE(list.parse(lines), status);
        QCOMPARE(list.ServerNames.mid(1), names);
        QCOMPARE(list.count(), names.size());
        QCOMPARE(list.ServerNames.first(), QString());
        QCOMPARE(list.ServerURLs.size(), list.ServerNames.size());
        QCOMPARE(list.ServerCataloguePaths.size(), list.ServerNames.size());
    }

    void recordsInOrder() {
        ServerList list;
        QCOMPARE(list.parse(QStringList{"SL1", "3"} + kThree), Status::Ok);
        QCOMPARE(list.ServerURLs, QStringList({"", "http://a.example.net/", "http://b.example.net",
                                               "http://c.example.net/"}));
        QCOMPARE(list.ServerCataloguePaths,
                 QStringList({"", "cars/Kavro_CL.dat", "/x.dat", "Kavro_CL.dat"}));
    }

    void leadingCount_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("value"); // -99999: out of range
        QTest::newRow("plain") << "12" << 12;
        QTest::newRow("blanks inside") << " 1 2 x" << 12;
        QTest::newRow("sign") << "-7" << -7;
        QTest::newRow("exponent") << "1e2" << 100;
        QTest::newRow("D exponent") << "2D1" << 20;
        QTest::newRow("half to even 3.5") << "3.5" << 4;
        QTest::newRow("half to even 0.5") << "0.5" << 0;
        QTest::newRow("none") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("largest") << "32767" << 32767;
        QTest::newRow("too large") << "32768" << -99999;
        QTest::newRow("huge exponent") << "1e999" << -99999;
        QTest::newRow("tiny exponent") << "1e-999" << 0;
    }
    void leadingCount() {
        QFETCH(QString, line);
        QFETCH(int, value);
        const std::optional<qint16> n = ServerList::leadingCount(line);
        if (value == -99999)
            QVERIFY(!n);
        else
            QCOMPARE(int(n.value_or(-1)), value);
    }
};

QTEST_GUILESS_MAIN(tst_ServerList)
#include "tst_ServerList.moc"
