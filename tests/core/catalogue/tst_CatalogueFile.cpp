#include "core/catalogue/CatalogueAddress.h"
#include "core/catalogue/CatalogueFile.h"
#include "core/session/Session.h"
#include "platform/AnsiText.h"

#include <QtTest>

namespace {
const QString kBase = QStringLiteral("http://cars.example.net/hs/");
const QString kRoot = QStringLiteral("http://cars.example.net/hs");
} // namespace

class tst_CatalogueFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Rule R on the screenshot line and rules R then Z on the ZIP line, as layout 1 reads them.
    void urlRules_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("shot");
        QTest::addColumn<QString>("zip");
        QTest::newRow("relative, no leading slash")
            << kBase << "shots/a.jpg" << kRoot + "/shots/a.jpg" << kRoot + "/shots/a.jpg";
        QTest::newRow("relative, leading slash")
            << kBase << "/shots/a.jpg" << kRoot + "/shots/a.jpg" << kRoot + "/shots/a.jpg";
        QTest::newRow("base without final slash")
            << kRoot << "a.zip" << kRoot + "/a.zip" << kRoot + "/a.zip";
        QTest::newRow("base without final slash, leading slash")
            << kRoot << "/a.zip" << kRoot + "/a.zip" << kRoot + "/a.zip";
        QTest::newRow("empty line stays empty") << kBase << ""
                                                << ""
                                                << "";
        QTest::newRow("https absolute stays") << kBase << "https://other.example.net/a.zip"
                                              << "https://other.example.net/a.zip"
                                              << "https://other.example.net/a.zip";
        QTest::newRow("leading space before an https URL")
            << kBase << " https://other.example.net/a.zip"
            << kRoot + "/ https://other.example.net/a.zip"
            << "https://other.example.net/a.zip";
        QTest::newRow("cut back to the first absolute address of either scheme")
            << kBase << "x https://a.example.net/?to=http://b.example.net/a.zip"
            << kRoot + "/x https://a.example.net/?to=http://b.example.net/a.zip"
            << "https://a.example.net/?to=http://b.example.net/a.zip";
        QTest::newRow("absolute stays") << kBase << "http://other.example.net/a.zip"
                                        << "http://other.example.net/a.zip"
                                        << "http://other.example.net/a.zip";
        QTest::newRow("leading space before an absolute URL")
            << kBase << " http://other.example.net/a.zip"
            << kRoot + "/ http://other.example.net/a.zip"
            << "http://other.example.net/a.zip";
        QTest::newRow("upper-case scheme is relative") << kBase << "HTTP://other.example.net/a.zip"
                                                       << kRoot + "/HTTP://other.example.net/a.zip"
                                                       << kRoot + "/HTTP://other.example.net/a.zip";
        QTest::newRow("upper-case scheme rescued by a later lower-case one")
            << kBase << "HTTP://go.example.net/?to=http://other.example.net/a.zip"
            << kRoot + "/HTTP://go.example.net/?to=http://other.example.net/a.zip"
            << "http://other.example.net/a.zip";
        QTest::newRow("absolute with a second scheme inside")
            << kBase << "http://go.example.net/?to=http://x.example.net/a.zip"
            << "http://go.example.net/?to=http://x.example.net/a.zip"
            << "http://x.example.net/a.zip";
    }
    void urlRules() {
        QFETCH(QString, base);
        QFETCH(QString, line);
        QFETCH(QString, shot);
        QFETCH(QString, zip);
        CatalogueFile cat;
        cat.parse({"?CL1", "Car", "Author", line, line}, base);
        QVERIFY(cat.complete);
        QCOMPARE(cat.entries.size(), 1);
        QCOMPARE(cat.entries[0].shotUrl, shot);
        QCOMPARE(cat.entries[0].zipUrl, zip);
    }

    void layout0TakesLinesAsWritten() {
        CatalogueFile cat;
        cat.parse({"Car A", "", "", "Car B", "shots/b.jpg", " http://x.example.net/b.zip"}, kBase);
        QCOMPARE(cat.format, qint16(0));
        QVERIFY(!cat.outdated);
        QVERIFY(cat.complete);
        QCOMPARE(cat.entries.size(), 2);
        QCOMPARE(cat.entries[0].name, QStringLiteral("Car A"));
        QCOMPARE(cat.entries[0].shotUrl, QString());
        QCOMPARE(cat.entries[0].zipUrl, QString());
        QCOMPARE(cat.entries[1].shotUrl, QStringLiteral("shots/b.jpg"));
        QCOMPARE(cat.entries[1].zipUrl, QStringLiteral(" http://x.example.net/b.zip"));
        QCOMPARE(cat.entries[1].author, QString());
    }

    // Header detection, the layouts, cut-short and trailing-empty files.
    void layouts_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("format");
        QTest::addColumn<bool>("outdated");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("layout 1") << QStringList{"?CL1",  "Beta", "Bo", "b", "b",
                                                 "alpha", "Al",   "a",  "a"}
                                  << 1 << false << true << QStringList{"Beta", "alpha"};
        QTest::newRow("layout 1 whatever follows the version")
            << QStringList{"?CL1.7 catalogue", "A", "x", "s", "z"} << 1 << false << true
            << QStringList{"A"};
        QTest::newRow("header only") << QStringList{"?CL1"} << 1 << false << true << QStringList();
        QTest::newRow("lower-case header is a name")
            << QStringList{"?cl1", "s", "z"} << 0 << false << true << QStringList{"?cl1"};
        QTest::newRow("outdated header read as layout 0")
            << QStringList{"?CL2", "Car A", "http://x/a.zip", "Car B", "s", "z"} << 0 << true
            << true << QStringList{"?CL2", "Car B"};
        QTest::newRow("header without a version is outdated")
            << QStringList{"?CL", "s", "z"} << 0 << true << true << QStringList{"?CL"};
        QTest::newRow("layout 0 cut short")
            << QStringList{"A", "s", "z", "B", "s"} << 0 << false << false << QStringList{"A"};
        QTest::newRow("layout 1 cut short")
            << QStringList{"?CL1", "A", "x", "s", "z", "B", "y", "s"} << 1 << false << false
            << QStringList{"A"};
        QTest::newRow("layout 1 cut short after the name")
            << QStringList{"?CL1", "A"} << 1 << false << false << QStringList();
        QTest::newRow("empty lines after complete entries")
            << QStringList{"?CL1", "A", "x", "s", "z", "", ""} << 1 << false << true
            << QStringList{"A"};
        QTest::newRow("one empty line after layout 0")
            << QStringList{"A", "s", "z", ""} << 0 << false << true << QStringList{"A"};
        QTest::newRow("last entry with empty URL lines is whole")
            << QStringList{"A", "s", "z", "B", "", ""} << 0 << false << true
            << QStringList{"A", "B"};
        QTest::newRow("a lone LF inside a CR LF file stays part of its line")
            << AnsiText::splitLines("?CL1\r\nA\nB\r\nx\r\ns\r\nz\r\n") << 1 << false << true
            << QStringList{"A\nB"};
        QTest::newRow("layout 0 written on Linux reads line by line")
            << AnsiText::splitLines("A\ns\nz\nB\ns\nz\n") << 0 << false << true
            << QStringList{"A", "B"};
        QTest::newRow("empty lines only")
            << QStringList{"", ""} << 0 << false << true << QStringList();
        QTest::newRow("empty file") << QStringList() << 0 << false << true << QStringList();
    }
    void layouts() {
        QFETCH(QStringList, lines);
        QFETCH(int, format);
        QFETCH(bool, outdated);
        QFETCH(bool, complete);
        QFETCH(QStringList, names);
        CatalogueFile cat;
        cat.parse(lines, kBase);
        QCOMPARE(int(cat.format), format);
        QCOMPARE(cat.outdated, outdated);
        QCOMPARE(cat.complete, complete);
        QStringList got;
        for (const auto& e : cat.entries)
            got << e.name;
        QCOMPARE(got, names);
    }

    // What an address holds, told apart by its first line, in the words a player reads.
    void judgesAnAddress_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("text");
        QTest::newRow("server list") << QByteArray("SL1\r\n1\r\nhttp://h/\r\nc.dat\r\nH\r\n")
                                     << true << "a server list with 1 server";
        QTest::newRow("catalogue with an announcement")
            << QByteArray(
                   "?CL1\r\nNews\r\nH\r\n\r\n\r\nA\r\nJo\r\n\r\na.zip\r\nB\r\nJo\r\n\r\nb.zip\r\n")
            << true << "a catalogue of 2 cars and 1 announcement";
        QTest::newRow("byte-order mark")
            << QByteArray("\xEF\xBB\xBFSL1\r\n1\r\nhttp://h/\r\nc\r\nH\r\n") << true
            << "a server list with 1 server";
        QTest::newRow("folder index")
            << QByteArray("<!DOCTYPE HTML>\n<html><body></body></html>\n") << false
            << "http://h/x/ is a web page, not a server list or catalogue";
        QTest::newRow("page without a doctype")
            << QByteArray("<h1>Index of /x</h1>\n<ul><li>a</li></ul>\n") << false
            << "http://h/x/ is a web page, not a server list or catalogue";
        QTest::newRow("a car named like a tag")
            << QByteArray("<b>&\"\r\nhttp://h/a.jpg\r\nhttp://h/a.zip\r\n") << true
            << "a catalogue of 1 car";
        QTest::newRow("empty") << QByteArray() << false
                               << "http://h/x/ is empty, not a server list or catalogue";
        QTest::newRow("outdated list") << QByteArray("SL2\r\n1\r\n") << false
                                       << "http://h/x/: the server list's version (2) is newer "
                                          "than the program reads";
    }
    void judgesAnAddress() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        QFETCH(QString, text);
        const QString url = QStringLiteral("http://h/x/");
        const CatalogueAddress::Judgement j =
            CatalogueAddress::judgeLines(url, AnsiText::splitLines(bytes));
        QCOMPARE(j.accepted(), accepted);
        QCOMPARE(j.text(url), text);
    }

    void fillsTheSessionArrays() {
        CatalogueFile cat;
        cat.parse({"?CL1", "Beta", "Bo", "b.jpg", "b.zip", "alpha", "N/A", "", "/a.zip"}, kBase);
        Session s;
        s.CarNames << "from an earlier load";
        cat.applyTo(s);
        QCOMPARE(s.CatalogueFormat, qint16(1));
        QCOMPARE(s.CarNames, QStringList({"", "Beta", "alpha"}));
        QCOMPARE(s.CarAuthors, QStringList({"", "Bo", "N/A"}));
        QCOMPARE(s.CarShotURLs, QStringList({"", kRoot + "/b.jpg", ""}));
        QCOMPARE(s.CarZipURLs, QStringList({"", kRoot + "/b.zip", kRoot + "/a.zip"}));
        QCOMPARE(s.carCount(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_CatalogueFile)
#include "tst_CatalogueFile.moc"
