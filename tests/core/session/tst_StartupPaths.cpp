#include "core/session/CommandLine.h"
#include "core/session/ProgramInfo.h"
#include "core/session/Session.h"
#include "core/session/StartupPaths.h"

#include <QtTest>

namespace {
// Sets or (for a null value) removes a variable for one test, putting it back afterwards.
class EnvVar {
public:
    EnvVar(const char* name, const QByteArray& value) : m_name(name), m_saved(qgetenv(name)) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvVar() {
        if (m_saved.isNull())
            qunsetenv(m_name);
        else
            qputenv(m_name, m_saved);
    }

private:
    const char* m_name;
    QByteArray m_saved;
};
} // namespace

class tst_StartupPaths : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void switches_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>(
            "present"); // letters: L ocalhost, S howlog, E serial, I skipintro
        QTest::newRow("none") << ""
                              << "";
        QTest::newRow("lower case") << "/showlog"
                                    << "S";
        QTest::newRow("run together") << "x/SERIAL/skipintroy"
                                      << "EI";
        QTest::newRow("all") << "/LocalHost /ShowLog /Serial /SkipIntro"
                             << "LSEI";
        QTest::newRow("without slash") << "showlog serial"
                                       << "";
    }
    void switches() {
        QFETCH(QString, line);
        QFETCH(QString, present);
        const CommandLine c(line);
        QCOMPARE(c.has(CommandLine::kLocalHost), present.contains('L'));
        QCOMPARE(c.has(CommandLine::kShowLog), present.contains('S'));
        QCOMPARE(c.has(CommandLine::kSerial), present.contains('E'));
        QCOMPARE(c.has(CommandLine::kSkipIntro), present.contains('I'));
    }

    // A kavro:// link is a link to offer, never switch text, whatever its address holds.
    void linksAreNotSwitches_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("links");
        QTest::addColumn<QString>("switchText");
        QTest::newRow("link and a switch")
            << QStringList{"kavro://add?url=http://a/serial/showlog.dat", "/skipintro"}
            << QStringList{"kavro://add?url=http://a/serial/showlog.dat"} << "/skipintro";
        QTest::newRow("scheme in capitals, malformed")
            << QStringList{"KAVRO://add/SERIAL"} << QStringList{"KAVRO://add/SERIAL"} << "";
        QTest::newRow("not at the start")
            << QStringList{"x-kavro://add/serial"} << QStringList{} << "x-kavro://add/serial";
    }
    void linksAreNotSwitches() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, links);
        QFETCH(QString, switchText);
        QCOMPARE(CommandLine::links(arguments), links);
        QCOMPARE(CommandLine::switchText(arguments), switchText);
    }

    void urls_data() {
        QTest::addColumn<bool>("localHost");
        QTest::addColumn<QByteArray>("env");     // KAVRO_LOCALHOST, null: unset
        QTest::addColumn<QString>("configured"); // the store's "serverlist" and "ads"
        QTest::addColumn<QString>("serverList");
        QTest::addColumn<QString>("ads");
        QTest::newRow("catalogue site") << false << QByteArray("http://127.0.0.1:1") << ""
                                        << ProgramInfo::kCatalogueBase + "kavro/svr/sl.dat"
                                        << ProgramInfo::kCatalogueBase + "kavro/ads/ads.htm";
        QTest::newRow("local web server") << true << QByteArray() << ""
                                          << "http://localhost/lxd/sl.dat"
                                          << "http://localhost/ads.htm";
        QTest::newRow("local base from the environment")
            << true << QByteArray("http://127.0.0.1:8123/") << ""
            << "http://127.0.0.1:8123/lxd/sl.dat"
            << "http://127.0.0.1:8123/ads.htm";
        QTest::newRow("a community's own addresses")
            << false << QByteArray() << " https://cars.example.org/x "
            << "https://cars.example.org/x"
            << "https://cars.example.org/x";
        QTest::newRow("a blank value is no address")
            << false << QByteArray() << " " << ProgramInfo::kCatalogueBase + "kavro/svr/sl.dat"
            << ProgramInfo::kCatalogueBase + "kavro/ads/ads.htm";
        QTest::newRow("the local server wins over the store")
            << true << QByteArray() << "https://cars.example.org/x"
            << "http://localhost/lxd/sl.dat"
            << "http://localhost/ads.htm";
    }
    void urls() {
        QFETCH(bool, localHost);
        QFETCH(QByteArray, env);
        QFETCH(QString, configured);
        QFETCH(QString, serverList);
        QFETCH(QString, ads);
        EnvVar var("KAVRO_LOCALHOST", env);
        QCOMPARE(StartupPaths::serverListUrl(localHost, configured), serverList);
        QCOMPARE(StartupPaths::adsUrl(localHost, configured), ads);
        if (configured.isEmpty()) {
            Session s;
            StartupPaths::setSessionPaths(s, localHost);
            QCOMPARE(s.SessionPaths[Session::ServerListURL], serverList);
            QCOMPARE(s.SessionPaths[Session::AdsURL], ads);
        }
        QVERIFY(ProgramInfo::kCatalogueBase.endsWith("/depotline/"));
    }

    void workDir_data() {
        QTest::addColumn<QByteArray>("temp");
        QTest::addColumn<QByteArray>("tmpdir");
        QTest::addColumn<QByteArray>("cache"); // XDG_CACHE_HOME; HOME is /t/home
        QTest::addColumn<QString>("expected");
        QTest::newRow("TEMP") << QByteArray("/t/temp") << QByteArray("/t/other")
                              << QByteArray("/t/cache") << "/t/temp/Kavro/";
        QTest::newRow("TEMP with slash")
            << QByteArray("/t/temp/") << QByteArray() << QByteArray() << "/t/temp/Kavro/";
        QTest::newRow("TMPDIR") << QByteArray() << QByteArray("/t/tmpdir") << QByteArray()
                                << "/t/tmpdir/Kavro/";
        QTest::newRow("empty TEMP")
            << QByteArray("") << QByteArray("/t/x") << QByteArray() << "/t/x/Kavro/";
        // Never the shared /tmp: the user's own cache folder.
        QTest::newRow("neither, XDG_CACHE_HOME")
            << QByteArray() << QByteArray() << QByteArray("/t/cache") << "/t/cache/Kavro/";
        QTest::newRow("neither, no XDG_CACHE_HOME")
            << QByteArray() << QByteArray("") << QByteArray() << "/t/home/.cache/Kavro/";
        QTest::newRow("neither, relative XDG_CACHE_HOME")
            << QByteArray() << QByteArray() << QByteArray("cache") << "/t/home/.cache/Kavro/";
    }
    void workDir() {
        QFETCH(QByteArray, temp);
        QFETCH(QByteArray, tmpdir);
        QFETCH(QByteArray, cache);
        QFETCH(QString, expected);
        EnvVar a("TEMP", temp);
        EnvVar b("TMPDIR", tmpdir);
        EnvVar c("XDG_CACHE_HOME", cache);
        EnvVar d("HOME", "/t/home");
        Session s;
        StartupPaths::setSessionPaths(s, false);
        QCOMPARE(s.workDir(), expected);
        // Fixed once: a later change of TEMP does not move the work folder.
        qputenv("TEMP", "/elsewhere");
        QCOMPARE(s.workDir(), expected);
    }
};

QTEST_GUILESS_MAIN(tst_StartupPaths)
#include "tst_StartupPaths.moc"
