// The player's catalogue sources: what an address is judged to be, the store, the links, and the
// servers the sources give.
#include "CatalogueText.h"
#include "FakeHttpServer.h"
#include "TestEnv.h"
#include "core/catalogue/CatalogueSources.h"
#include "core/session/AppSettings.h"

#include <QtTest>

using CatalogueText::Car;
using CatalogueText::Server;
using Kind = CatalogueSources::Found::Kind;
Q_DECLARE_METATYPE(CatalogueSources::Found::Kind)

namespace {

QStringList linesOf(const QByteArray& text) {
    return QString::fromLatin1(text).split(QStringLiteral("\r\n"));
}

const QList<Car> kTwoCars{{"Aurora", "Kim", "a.jpg", "zips/a.zip"},
                          {"Bolt", "Lee", "", "http://other.example.net/b.zip"}};

} // namespace

class tst_CatalogueSources : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // What the player is told it found, and the servers it gives the server window (how each
    // kind of file is judged is CatalogueAddress's, tested with the host's check).
    void judgesWhatAnAddressHolds_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QStringList>("servers"); // url | path | name of each server it gives
        const QString at = "http://cars.example.net:8080/hs/";
        QTest::newRow("server list")
            << CatalogueText::serverList({{"http://a/", "Kavro_CL.dat", "Alpha"},
                                          {"http://b/", "x.dat", "Beta"},
                                          {"http://c/", "y.dat", "Gamma"}})
            << Kind::ServerList << "a server list with 3 servers"
            << QStringList{"http://a/|Kavro_CL.dat|Alpha", "http://b/|x.dat|Beta",
                           "http://c/|y.dat|Gamma"};
        QTest::newRow("one server")
            << CatalogueText::serverList({{"http://a/", "Kavro_CL.dat", "Alpha"}})
            << Kind::ServerList << "a server list with 1 server"
            << QStringList{"http://a/|Kavro_CL.dat|Alpha"};
        QTest::newRow("catalogue with authors")
            << CatalogueText::layout1(kTwoCars) << Kind::Catalogue << "a catalogue of 2 cars"
            << QStringList{at + "|Kavro_CL.dat|cars.example.net:8080/hs"};
        QTest::newRow("catalogue without a header")
            << CatalogueText::layout0(kTwoCars) << Kind::Catalogue << "a catalogue of 2 cars"
            << QStringList{at + "|Kavro_CL.dat|cars.example.net:8080/hs"};
        QTest::newRow("empty catalogue with authors")
            << QByteArray("?CL1\r\n") << Kind::Catalogue << "a catalogue of 0 cars"
            << QStringList{at + "|Kavro_CL.dat|cars.example.net:8080/hs"};
        QTest::newRow("web page") << QByteArray(
                                         "  <!DOCTYPE html>\r\n<html><body>Cars</body></html>\r\n")
                                  << Kind::Refused
                                  << "<url> is a web page, not a server list or catalogue"
                                  << QStringList{};
    }
    void judgesWhatAnAddressHolds() {
        QFETCH(QByteArray, text);
        QFETCH(Kind, kind);
        QFETCH(QString, found);
        QFETCH(QStringList, servers);
        const QString url = "http://cars.example.net:8080/hs/Kavro_CL.dat";
        const CatalogueSources::Found f = CatalogueSources::judgeLines(url, linesOf(text));
        found.replace("<url>", url);
        QCOMPARE(f.kind, kind);
        QCOMPARE(f.text(), found);
        QStringList given;
        for (int i = 1; i <= f.servers.count(); ++i)
            given << f.servers.ServerURLs.at(i) + '|' + f.servers.ServerCataloguePaths.at(i) + '|' +
                         f.servers.ServerNames.at(i);
        QCOMPARE(given, servers);
    }

    // Any character of an address or a name survives the store; the list is not held to the
    // 1024 bytes of one setting; the same address is kept once.
    void keepsSourcesInTheStore() {
        TestEnv env;
        CatalogueSources sources(*env.settings);
        QVERIFY(sources.list().isEmpty());
        const QString odd = "https://example.net/a%20b/\"quoted\"\\back?x=1&y=ü#top";
        QVERIFY(sources.add({odd, "Name \"with\" \\ and\nnewline — ü", {}, {}}));
        for (int i = 0; i < 40; ++i)
            QVERIFY(sources.add({QString("http://host%1.example.net/cars/sl.dat").arg(i),
                                 QString("Host %1").arg(i),
                                 {},
                                 {}}));
        QVERIFY(sources.recordFetch(odd, "a catalogue of 3 cars"));
        QVERIFY(sources.add({"http://host5.example.net/cars/sl.dat", "Renamed", {}, {}}));

        // Read back through a fresh store on the same file.
        SettingsStore again(env.settings->filePath());
        const QList<CatalogueSources::Source> read = CatalogueSources(again).list();
        QCOMPARE(read.size(), 41);
        QCOMPARE(read.first().url, odd);
        QCOMPARE(read.first().name, QString("Name \"with\" \\ and\nnewline — ü"));
        QCOMPARE(read.first().lastFetch, QString("a catalogue of 3 cars"));
        QVERIFY(QDateTime::fromString(read.first().when, Qt::ISODate).isValid());
        QCOMPARE(read.at(6).name, QString("Renamed")); // replaced where it stood
        QVERIFY(CatalogueSources(again).remove(odd));
        QVERIFY(!CatalogueSources(again).remove(odd));
        QCOMPARE(sources.list().size(), 40);
        QVERIFY(!sources.contains(odd));
        QVERIFY(!sources.recordFetch(odd, "gone"));
    }

    // A damaged value, or addresses the program would never fetch, give no source.
    void readsOnlyWhatItWouldHaveAdded() {
        TestEnv env;
        auto write = [&](const QString& text) {
            env.settings->WriteSetting(RegistryRoot::CurrentUser, AppSettings::kAppKey,
                                       CatalogueSources::kValueName, text);
        };
        write("[{\"url\": \"http://a.example.net/sl.dat\"");
        QVERIFY(CatalogueSources(*env.settings).list().isEmpty());
        write("[{\"url\":\"file:///etc/passwd\"},{\"url\":\"http://a.example.net/sl.dat\"},"
              "{\"url\":\"http://a.example.net/sl.dat\"},{\"url\":\"javascript:x\"},{}]");
        const auto read = CatalogueSources(*env.settings).list();
        QCOMPARE(read.size(), 1);
        QCOMPARE(read.first().url, QString("http://a.example.net/sl.dat"));
    }

    void readsLinks_data() {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("address"); // empty: not a link Kavro takes
        QTest::newRow("encoded address") << "kavro://add?url=http%3A%2F%2Fcars.example.net%2Fsl.dat"
                                         << "http://cars.example.net/sl.dat";
        QTest::newRow("address with its own query")
            << "kavro://add?url=https%3A%2F%2Fa.example.net%2Fc%3Fx%3D1%26y%3D2"
            << "https://a.example.net/c?x=1&y=2";
        QTest::newRow("scheme in capitals") << "KAVRO://add?url=http%3A%2F%2Fa%2Fsl.dat"
                                            << "http://a/sl.dat";
        QTest::newRow("slash before the query") << "kavro://add/?url=http%3A%2F%2Fa%2Fsl.dat"
                                                << "http://a/sl.dat";
        QTest::newRow("other action") << "kavro://remove?url=http%3A%2F%2Fa%2Fsl.dat"
                                      << "";
        QTest::newRow("no address") << "kavro://add"
                                    << "";
        QTest::newRow("second parameter") << "kavro://add?url=http%3A%2F%2Fa&then=x"
                                          << "";
        QTest::newRow("path") << "kavro://add/more?url=http%3A%2F%2Fa"
                              << "";
        QTest::newRow("other scheme") << "http://add?url=http%3A%2F%2Fa"
                                      << "";
        QTest::newRow("empty address") << "kavro://add?url="
                                       << "";
    }
    void readsLinks() {
        QFETCH(QString, link);
        QFETCH(QString, address);
        QCOMPARE(CatalogueSources::linkAddress(link), address);
    }

    // Through the network: refused before any request when not http(s); an address that does not
    // answer says why; every source is fetched, its servers appended, its state recorded.
    void fetchesTheSources() {
        TestEnv env;
        FakeHttpServer server;
        QVERIFY(server.listen());
        server.route("/list/sl.dat",
                     FakeResponse::ok(CatalogueText::serverList(
                         {{"http://a/", "Kavro_CL.dat", "Alpha"}, {"http://b/", "p", "Beta"}})));
        server.route("/cat/Kavro_CL.dat", FakeResponse::ok(CatalogueText::layout1(kTwoCars)));

        const auto ftp = CatalogueSources::judge(env.ctx, "ftp://127.0.0.1/sl.dat");
        QCOMPARE(
            ftp.text(),
            QString("ftp://127.0.0.1/sl.dat: only http:// and https:// addresses can be added"));
        const auto missing = CatalogueSources::judge(env.ctx, server.url("/none.dat"));
        QCOMPARE(missing.text(), server.url("/none.dat") + ": The file was not found!");
        QCOMPARE(server.requests().count("/none.dat"), 2); // the fetch and its second look
        QCOMPARE(env.prompts.count(), 0);                  // no box: the caller says it

        CatalogueSources sources(*env.settings);
        for (const QString path : {"/list/sl.dat", "/gone.dat", "/cat/Kavro_CL.dat"})
            sources.add({server.url(path), CatalogueSources::nameOf(server.url(path)), {}, {}});
        ServerList servers;
        servers.append("http://builtin/", "Kavro_CL.dat", "Built-in");
        QStringList tried;
        QCOMPARE(sources.fetchAll(env.ctx, servers, &tried), 2);
        QCOMPARE(tried, (QStringList{server.url("/list/sl.dat"), server.url("/gone.dat"),
                                     server.url("/cat/Kavro_CL.dat")}));
        QCOMPARE(servers.ServerNames.mid(1),
                 (QStringList{"Built-in", "Alpha", "Beta",
                              "127.0.0.1:" + QString::number(server.port()) + "/cat"}));
        QCOMPARE(servers.ServerURLs.last() + servers.ServerCataloguePaths.last(),
                 server.url("/cat/Kavro_CL.dat"));
        QStringList states;
        for (const auto& s : sources.list())
            states << s.lastFetch;
        QCOMPARE(states, (QStringList{"a server list with 2 servers",
                                      server.url("/gone.dat") + ": The file was not found!",
                                      "a catalogue of 2 cars"}));
    }
};

QTEST_GUILESS_MAIN(tst_CatalogueSources)
#include "tst_CatalogueSources.moc"
