#include "CatalogueText.h"
#include "FakeHttpServer.h"
#include "TestEnv.h"
#include "VivBuilder.h"
#include "WindowWatcher.h"
#include "ZipBuilder.h"
#include "core/browser/DownloadSelection.h"
#include "core/catalogue/CatalogueSources.h"
#include "core/catalogue/FetchFile.h"
#include "core/gamedata/CarSerials.h"
#include "core/session/AppSettings.h"
#include "gui/CatalogueLink.h"
#include "gui/InstallFromFiles.h"
#include "gui/frmCars.h"
#include "gui/frmCatalogues.h"
#include "gui/frmLog.h"
#include "gui/frmSelect.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

using CatalogueText::Car;
using CatalogueText::Server;

namespace {

const QString kCorrupt = QStringLiteral(
    "Data File on server is corrupted or you may be experiencing network problems. Please try to "
    "check your internet connection and proxy server settings. If you are required to use a proxy "
    "server, then set it up in Microsoft Internet Explorer.");
const QString kOutdated = QStringLiteral(
    "This version of Kavro is incompatible with the data file on the server, please obtain a "
    "newer version of Kavro from http://kavro.example.net/.");
const QString kUnrecognised =
    QStringLiteral("The server returned an unrecongonzied response.\r\n\r\n");

// A fake catalogue site with its server list, and the server window opened against it.
struct World {
    TestEnv env;
    FakeHttpServer server;
    std::unique_ptr<frmSelect> w;

    World() {
        server.listen();
        env.session.SessionPaths[Session::ServerListURL] = server.url("/Kavro_SL.dat");
    }
    void serveList(const QByteArray& text) {
        server.route("/Kavro_SL.dat", FakeResponse::ok(text));
    }
    // Three servers: a base URL with a final slash, one without, and a third.
    void serveThreeServers() {
        serveList(CatalogueText::serverList({{server.url("/one/"), "Kavro_CL.dat", "Server One"},
                                             {server.url("/two"), "cat.dat", "Server Two"},
                                             {server.url("/three/"), "x/CL.dat", "Server Three"}}));
    }
    // Opens the window and waits until its timer has fetched and read the list.
    void open() {
        w = std::make_unique<frmSelect>(env.ctx);
        w->show();
        QTRY_VERIFY(!w->tmrDo->isActive());
    }
    // Serves the player's sources: a server list of two servers, a catalogue of two cars, and a
    // web page.
    void serveSources() {
        server.route("/src/sl.dat", FakeResponse::ok(CatalogueText::serverList(
                                        {{server.url("/one/"), "Kavro_CL.dat", "Source One"},
                                         {server.url("/two/"), "Kavro_CL.dat", "Source Two"}})));
        server.route("/hs/Kavro_CL.dat",
                     FakeResponse::ok(CatalogueText::layout1({{"Aurora", "Kim", "a.jpg", "a.zip"},
                                                              {"Bolt", "Lee", "b.jpg", "b.zip"}})));
        server.route("/page.html", FakeResponse::ok("<!DOCTYPE html>\r\n<html></html>\r\n"));
    }
    void addSource(const QString& path) {
        CatalogueSources(*env.settings).add({server.url(path), "", {}, {}});
    }
    QString hsName() const { return "127.0.0.1:" + QString::number(server.port()) + "/hs"; }
    frmCars* cars() const { return w->carBrowser(); }
    QStringList rows() const {
        QStringList r;
        for (int i = 0; i < w->cboSites->count(); ++i)
            r << w->cboSites->itemText(i);
        return r;
    }
    QStringList listed() const {
        QStringList r;
        for (int i = 0; i < cars()->lstCars->count(); ++i)
            r << cars()->lstCars->item(i)->text();
        return r;
    }
    // Ready for a (new) Connect: list and button on, idle status, still shown.
    void verifyReady() const {
        QVERIFY(w->cmdConnect->isEnabled());
        QVERIFY(w->cboSites->isEnabled());
        QCOMPARE(w->lblStatus->text(), QStringLiteral("."));
        QVERIFY(w->isVisible());
        QVERIFY(!cars() || !cars()->isVisible());
    }
};

} // namespace

class tst_frmSelect : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsEmptyWithTimer() {
        World world;
        world.serveThreeServers();
        frmSelect w(world.env.ctx);
        QCOMPARE(w.windowTitle(), QStringLiteral("NFSHS Kavro"));
        QCOMPARE(w.lblInfo->text(),
                 QStringLiteral("Choose a server from which you would like to download cars."));
        QCOMPARE(w.cmdConnect->text(), QStringLiteral("Connect"));
        QCOMPARE(w.cmdExit->text(), QStringLiteral("Exit"));
        QVERIFY(!w.cboSites->isEnabled());
        QVERIFY(!w.cboSites->isEditable());
        QVERIFY(!w.cmdConnect->isEnabled());
        QVERIFY(w.cmdExit->isEnabled());
        QCOMPARE(w.lblStatus->text(), QStringLiteral("."));
        QVERIFY(w.tmrDo->isActive());
        QCOMPARE(w.tmrDo->interval(), 100);
    }

    void listsThreeServers() {
        World world;
        world.serveThreeServers();
        QString during;
        QTimer::singleShot(0, [&] {
            // Seen while the fetch is under way.
            QTimer::singleShot(110, [&] { during = world.w->lblStatus->text(); });
        });
        FakeResponse slow =
            FakeResponse::ok(CatalogueText::serverList({{"http://a/", "p", "Server One"},
                                                        {"http://b/", "p", "Server Two"},
                                                        {"http://c/", "p", "Server Three"}}));
        slow.chunkSize = 8;
        slow.chunkDelayMs = 30;
        world.server.route("/Kavro_SL.dat", slow);
        world.open();
        QCOMPARE(during, QStringLiteral("Getting list of servers..."));
        QCOMPARE(world.rows(), QStringList({"Server One", "Server Two", "Server Three"}));
        QVERIFY(world.w->cboSites->isEnabled());
        QCOMPARE(world.w->cboSites->currentIndex(), 0);
        QVERIFY(world.w->cmdConnect->isEnabled());
        QCOMPARE(world.w->lblStatus->text(), QStringLiteral("."));
        QCOMPARE(world.server.requests(), QStringList({"/Kavro_SL.dat"}));
        QCOMPARE(world.env.prompts.count(), 0);
        QVERIFY(QFile::exists(world.env.workDir() + "Kavro_SL.dat"));
        QTest::qWait(250); // fetched once only
        QCOMPARE(world.server.requests().size(), 1);
    }

    void refusedLists_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        const QList<Server> two{{"http://a/", "p", "A"}, {"http://b/", "p", "B"}};
        QTest::newRow("SL2") << CatalogueText::serverList(two, "SL2") << kOutdated
                             << "Outdated Version";
        QTest::newRow("lower-case header")
            << CatalogueText::serverList(two, "sl1") << kCorrupt << "Kavro";
        QTest::newRow("one-character header")
            << CatalogueText::serverList(two, "S") << kCorrupt << "Kavro";
        QTest::newRow("count 0") << CatalogueText::serverList(two, "SL1", "0") << kCorrupt
                                 << "Kavro";
        QTest::newRow("negative count")
            << CatalogueText::serverList(two, "SL1", "-1") << kCorrupt << "Kavro";
        QTest::newRow("fewer servers than counted")
            << CatalogueText::serverList(two, "SL1", "3") << kCorrupt << "Kavro";
        QTest::newRow("a lone LF in a CR LF list stays in its line")
            << QByteArray("SL1\r\n2\nhttp://a/\r\np\r\nA\r\n") << kCorrupt << "Kavro";
    }
    void refusedLists() {
        QFETCH(QByteArray, file);
        QFETCH(QString, text);
        QFETCH(QString, title);
        World world;
        world.serveList(file);
        world.env.prompts.expect(MessageBoxService::Ok);
        world.open();
        QCOMPARE(world.env.prompts.count(), 1);
        QCOMPARE(world.env.prompts.last().text, text);
        QCOMPARE(world.env.prompts.last().title, title);
        QCOMPARE(world.env.prompts.last().style, 16);
        QCOMPARE(world.w->cboSites->count(), 0);
        QVERIFY(!world.w->cboSites->isEnabled());
        QVERIFY(!world.w->cmdConnect->isEnabled());
        QCOMPARE(world.w->lblStatus->text(), frmSelect::noServersStatus());
    }

    void listFetchFailure() {
        World world; // no route: the server answers 404
        world.env.prompts.expect(MessageBoxService::Ok);
        world.open();
        QCOMPARE(world.env.prompts.count(), 1);
        QCOMPARE(world.env.prompts.last().text, QStringLiteral("The file was not found!\r\n"));
        QCOMPARE(world.w->cboSites->count(), 0);
        QVERIFY(!world.w->cmdConnect->isEnabled());
        // The window is still of use: its status line says how.
        QCOMPARE(world.w->lblStatus->text(), frmSelect::noServersStatus());
    }

    // Without a server list, Ctrl+O (the Options menu's item) and a drop of ZIPs install them
    // through the download window, show the log and come back; anything but ZIPs dropped is
    // refused, and ZIPs past the limit of cars are refused before anything starts.
    void installsCarsFromFiles_data() {
        QTest::addColumn<bool>("drop");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("installedBefore");
        QTest::addColumn<QString>("box"); // empty: none, the log window comes
        const QStringList three{"aurora.zip", "cinder.ZIP", "old.zip"};
        QTest::newRow("Ctrl+O") << false << three << 0 << QString();
        QTest::newRow("drop") << true << three << 0 << QString();
        QTest::newRow("drop of another file") << true << QStringList{"aurora.zip", "readme.txt"}
                                              << 0 << InstallFromFiles::dropRefusal("readme.txt");
        QTest::newRow("past the limit")
            << true << three << 48 << DownloadSelection::limitMessage(3, 48);
    }
    void installsCarsFromFiles() {
        QFETCH(bool, drop);
        QFETCH(QStringList, files);
        QFETCH(int, installedBefore);
        QFETCH(QString, box);
        World world;
        world.env.prompts.expect(MessageBoxService::Ok); // the list's 404
        world.open();
        world.env.prompts.clear();
        const QString folder = world.env.root() + "zips/";
        QDir().mkpath(folder);
        const QByteArray car = VivBuilder::carArchive(7);
        ZipBuilder().add("CAR.VIV", car).write(folder + "aurora.zip");
        // Another car (a bigger body): the same car twice would be refused as already installed.
        ZipBuilder()
            .add("car/CAR.VIV", VivBuilder::carArchive(7, "XXXX", 8192))
            .write(folder + "cinder.ZIP");
        ZipBuilder().add("readme.txt", "no car").write(folder + "old.zip");
        world.env.writeFile(folder + "readme.txt", "text");
        for (int i = 0; i < installedBefore; ++i)
            QDir().mkpath(world.env.gamePath() +
                          QStringLiteral("Data/Cars/C%1").arg(i, 3, 10, QChar(u'0')));
        QStringList paths;
        for (const QString& f : files)
            paths << folder + f;

        QString log;
        if (box.isEmpty())
            WindowWatcher::whenShown("frmLog", [&](QWidget* w) {
                log = static_cast<frmLog*>(w)->txtlog->toPlainText();
                w->close();
            });
        else
            world.env.prompts.expect(MessageBoxService::Ok);
        if (drop) {
            QMimeData mime;
            QList<QUrl> urls;
            for (const QString& p : paths)
                urls << QUrl::fromLocalFile(p);
            mime.setUrls(urls);
            // The drop reaches the window that took the drag's entry.
            QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(world.w.get(), &enter);
            QDropEvent e(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
            QApplication::sendEvent(world.w.get(), &e);
        } else {
            world.env.ctx.chooseFiles = [&](const QString&, const QString&) { return paths; };
            QTest::keyClick(world.w.get(), Qt::Key_O, Qt::ControlModifier);
        }
        if (box.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(!log.isEmpty() && world.w->isVisible(), 20000);
            QCOMPARE(log.count("ERRORS : (none)"), 2);
            QCOMPARE(log.count("ERRORS : Installation failed: "), 1);
            QVERIFY(QFileInfo::exists(world.env.workDir() + "DOWNLOAD.LOG"));
            QCOMPARE(CountInstalledCars(world.env.session), 2);
        } else {
            QTRY_COMPARE(world.env.prompts.count(), 1);
            QCOMPARE(world.env.prompts.last().text, box);
            QCOMPARE(world.env.prompts.last().style, 48);
            QCOMPARE(CountInstalledCars(world.env.session), installedBefore);
            QVERIFY(world.w->isVisible());
        }
        if (!drop) // the dialog starts there next time
            QCOMPARE(AppSettings::ReadAppSetting(world.env.ctx, "zipfolder") + '/', folder);
        QCOMPARE(world.env.prompts.unexpectedCount(), 0);
        QVERIFY(!world.env.programEnd.ended());
    }

    void connectFillsTheBrowser() {
        World world;
        world.serveThreeServers();
        world.server.route("/one/Kavro_CL.dat",
                           FakeResponse::ok(CatalogueText::layout1(
                               {{"Beta", "Bo", "shots/b.jpg", "cars/b.zip"},
                                {"alpha", "N/A", "/a.jpg", " http://mirror.example.net/a.zip"}})));
        world.open();
        QTest::mouseClick(world.w->cmdConnect, Qt::LeftButton);
        QCOMPARE(world.env.prompts.count(), 0);
        frmCars* cars = world.cars();
        QVERIFY(cars);
        QVERIFY(cars->isVisible());
        QVERIFY(!world.w->isVisible());
        QCOMPARE(world.listed(), QStringList({"alpha", "Beta"}));
        QCOMPARE(cars->GetCarIndex(0), 2);
        QCOMPARE(cars->GetCarIndex(1), 1);
        QCOMPARE(cars->lstCars->item(0)->data(Qt::UserRole).toInt(), 2);
        QCOMPARE(cars->lblNoCars->text(), QStringLiteral("2"));
        const QString base = world.server.url("/one/");
        QCOMPARE(cars->SiteName, QStringLiteral("Server One"));
        QCOMPARE(cars->SiteURL, base);
        QCOMPARE(cars->lblWebsiteLink->text(), QStringLiteral("Server One"));
        QCOMPARE(cars->lblWebsiteLinkx->text(), base);
        QVERIFY(cars->txtAuthor->isVisibleTo(cars));
        const Session& s = world.env.session;
        QCOMPARE(s.CatalogueFormat, qint16(1));
        QCOMPARE(s.CarNames, QStringList({"", "Beta", "alpha"}));
        QCOMPARE(s.CarAuthors, QStringList({"", "Bo", "N/A"}));
        QCOMPARE(s.CarShotURLs, QStringList({"", world.server.url("/one/shots/b.jpg"),
                                             world.server.url("/one/a.jpg")}));
        QCOMPARE(s.CarZipURLs, QStringList({"", world.server.url("/one/cars/b.zip"),
                                            "http://mirror.example.net/a.zip"}));
    }

    // The catalogue path runs straight on from a base URL without a final slash.
    void catalogueUrlHasNoSeparator() {
        World world;
        world.serveThreeServers();
        world.server.route("/twocat.dat", FakeResponse::ok(CatalogueText::layout0(
                                              {{"Old", "", "s.jpg", "z.zip"}})));
        world.open();
        QString during;
        bool listOn = true;
        QTimer::singleShot(60, [&] {
            during = world.w->lblStatus->text();
            listOn = world.w->cboSites->isEnabled() || world.w->cmdConnect->isEnabled();
        });
        FakeResponse slow =
            FakeResponse::ok(CatalogueText::layout0({{"Old", "", "s.jpg", "z.zip"}}));
        slow.chunkSize = 4;
        slow.chunkDelayMs = 20;
        world.server.route("/twocat.dat", slow);
        world.w->cboSites->setCurrentIndex(1);
        QTest::mouseClick(world.w->cmdConnect, Qt::LeftButton);
        QCOMPARE(during, "Connecting to " + world.server.url("/two") + "...");
        QVERIFY(!listOn);
        QCOMPARE(world.server.requests().last(), QStringLiteral("/twocat.dat"));
        QVERIFY(world.cars()->isVisible());
        // Layout 0: lines as written, no author line.
        QCOMPARE(world.env.session.CatalogueFormat, qint16(0));
        QCOMPARE(world.env.session.CarShotURLs, QStringList({"", "s.jpg"}));
        QCOMPARE(world.env.session.CarZipURLs, QStringList({"", "z.zip"}));
        QVERIFY(!world.cars()->txtAuthor->isVisibleTo(world.cars()));
        QCOMPARE(world.cars()->lblNoCars->text(), QStringLiteral("1"));
    }

    // Every failure of the catalogue fetch: its box, then the window is ready again.
    void connectFetchFailures_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("401") << "401"
                             << "Authorization failed!\r\n";
        QTest::newRow("404") << "404"
                             << "The file was not found!\r\n";
        QTest::newRow("500") << "500" << kUnrecognised + "HTTP/1.1 500 Internal Server Error\r\r\n";
        QTest::newRow("empty body, 200 on the failure path")
            << "empty" << kUnrecognised + "HTTP/1.1 200 OK\r\r\n";
        QTest::newRow("connection refused") << "refused"
                                            << "Cannot establish connection.\r\r\nCheck your "
                                               "Internet connection and try again.\r\n";
        QTest::newRow("body over the cap") << "huge" << kUnrecognised + "HTTP/1.1 200 OK\r\r\n";
    }
    void connectFetchFailures() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        World world;
        const QString base =
            kind == "refused"
                ? QStringLiteral("http://127.0.0.1:%1/").arg(FakeHttpServer::closedPort())
                : world.server.url("/one/");
        world.serveList(CatalogueText::serverList({{base, "Kavro_CL.dat", "One"}}));
        if (kind == "401")
            world.server.route("/one/Kavro_CL.dat",
                               FakeResponse::status("HTTP/1.1 401 Unauthorized"));
        else if (kind == "500")
            world.server.route("/one/Kavro_CL.dat",
                               FakeResponse::status("HTTP/1.1 500 Internal Server Error"));
        else if (kind == "empty")
            world.server.route("/one/Kavro_CL.dat", FakeResponse::ok(""));
        else if (kind == "huge")
            world.server.route("/one/Kavro_CL.dat", FakeResponse::ok(QByteArray(
                                                        int(FetchRules::kMaxBodyBytes) + 1, 'x')));
        world.open();
        world.env.prompts.expect(MessageBoxService::Ok);
        QTest::mouseClick(world.w->cmdConnect, Qt::LeftButton);
        QCOMPARE(world.env.prompts.count(), 1);
        QCOMPARE(world.env.prompts.last().text, message);
        QCOMPARE(world.env.prompts.last().title, QStringLiteral("Error"));
        QCOMPARE(world.env.prompts.last().style, 16);
        world.verifyReady();
        QVERIFY(!world.cars()); // the browser is loaded only after a fetch
    }

    // A catalogue cut short shows the corrupt-file message; the next
    // Connect starts from an empty list.
    void truncatedCatalogueThenRetry_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("last entry cut short")
            << CatalogueText::layout1({{"Beta", "Bo", "b.jpg", "b.zip"}}) + "Zeta\r\nZed\r\n"
            << QStringList({"", "Beta"});
        QTest::newRow("a lone LF in a CR LF catalogue stays in its line")
            << QByteArray("?CL1\r\nBeta\r\nBo\r\nb.jpg\nb.zip\r\n") << QStringList({""});
    }
    void truncatedCatalogueThenRetry() {
        QFETCH(QByteArray, body);
        QFETCH(QStringList, names);
        World world;
        world.serveThreeServers();
        world.server.route("/one/Kavro_CL.dat", FakeResponse::ok(body));
        world.open();
        world.env.prompts.expect(MessageBoxService::Ok);
        QTest::mouseClick(world.w->cmdConnect, Qt::LeftButton);
        QCOMPARE(world.env.prompts.count(), 1);
        QCOMPARE(world.env.prompts.last().text, kCorrupt);
        QCOMPARE(world.env.prompts.last().style, 16);
        world.verifyReady();
        QVERIFY(world.cars());
        QVERIFY(!world.cars()->isVisible());
        QCOMPARE(world.env.session.CarNames, names);

        world.server.route("/one/Kavro_CL.dat",
                           FakeResponse::ok(CatalogueText::layout1(
                               {{"Beta", "Bo", "b.jpg", "b.zip"}, {"alpha", "Al", "", ""}})));
        QTest::mouseClick(world.w->cmdConnect, Qt::LeftButton);
        QVERIFY(world.cars()->isVisible());
        QCOMPARE(world.listed(), QStringList({"alpha", "Beta"}));
        QCOMPARE(world.cars()->lblNoCars->text(), QStringLiteral("2"));
    }

    void emptyLinesAfterTheLastEntryLoad() {
        World world;
        world.serveThreeServers();
        world.server.route("/one/Kavro_CL.dat",
                           FakeResponse::ok(CatalogueText::layout0({{"A", "", "a.jpg", "a.zip"},
                                                                    {"B", "", "b.jpg", "b.zip"}}) +
                                            "\r\n\r\n"));
        world.open();
        QTest::mouseClick(world.w->cmdConnect, Qt::LeftButton);
        QVERIFY(world.cars()->isVisible());
        QCOMPARE(world.cars()->lblNoCars->text(), QStringLiteral("2"));
    }

    void headerOnlyCatalogue() {
        World world;
        world.serveThreeServers();
        world.server.route("/one/Kavro_CL.dat", FakeResponse::ok("?CL1\r\n"));
        world.open();
        QTest::mouseClick(world.w->cmdConnect, Qt::LeftButton);
        QVERIFY(world.cars()->isVisible());
        QCOMPARE(world.cars()->lstCars->count(), 0);
        QCOMPARE(world.cars()->lblNoCars->text(), QStringLiteral("0"));
        QVERIFY(!world.cars()->cmdDownload->isEnabled());
    }

    // The box, and nothing loaded: the server window is ready again.
    void outdatedCatalogueHeader() {
        World world;
        world.serveThreeServers();
        world.server.route("/one/Kavro_CL.dat",
                           FakeResponse::ok(CatalogueText::lines(
                               {"?CL2", "a.jpg", "a.zip", "Car B", "b.jpg", "b.zip"})));
        world.open();
        world.env.prompts.expect(MessageBoxService::Ok);
        QTest::mouseClick(world.w->cmdConnect, Qt::LeftButton);
        QCOMPARE(world.env.prompts.count(), 1);
        QCOMPARE(world.env.prompts.last().text, kOutdated);
        QCOMPARE(world.env.prompts.last().title, QStringLiteral("Outdated Version"));
        QCOMPARE(world.env.prompts.last().style, 16);
        world.verifyReady();
        QVERIFY(!world.cars()->isVisible());
        QCOMPARE(world.env.session.CarNames, QStringList({""}));
        QCOMPARE(world.listed(), QStringList());
    }

    // The start: the built-in list's servers, then those of every source (a catalogue is one
    // server). A built-in list that does not answer is only a status line when sources gave
    // servers; when nothing gave one, an online machine gets a box naming what was tried and
    // what can be done, an offline one the fetch's own box.
    void startWithSources_data() {
        QTest::addColumn<bool>("builtIn"); // the built-in list answers
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<bool>("online");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("box"); // "online": the box of nothing answered
        const QStringList three{"Server One", "Server Two", "Server Three"};
        QTest::newRow("built-in list and both kinds of source")
            << true << QStringList{"/src/sl.dat", "/hs/Kavro_CL.dat"} << true
            << (three + QStringList{"Source One", "Source Two", "<hs>"}) << "."
            << "";
        QTest::newRow("built-in list fails, a source answers")
            << false << QStringList{"/gone.dat", "/src/sl.dat"} << true
            << QStringList{"Source One", "Source Two"} << frmSelect::builtInSilentStatus() << "";
        QTest::newRow("nothing answers online")
            << false << QStringList{"/gone.dat", "/page.html"} << true << QStringList{}
            << frmSelect::noServersStatus() << "online";
        QTest::newRow("nothing answers offline")
            << false << QStringList{"/gone.dat"} << false << QStringList{}
            << frmSelect::noServersStatus() << "The file was not found!\r\n";
    }
    void startWithSources() {
        QFETCH(bool, builtIn);
        QFETCH(QStringList, sources);
        QFETCH(bool, online);
        QFETCH(QStringList, rows);
        QFETCH(QString, status);
        QFETCH(QString, box);
        World world;
        if (builtIn)
            world.serveThreeServers();
        world.serveSources();
        for (const QString& path : sources)
            world.addSource(path);
        world.env.ctx.systemOnline = [online] { return std::optional<bool>(online); };
        if (!box.isEmpty())
            world.env.prompts.expect(box == "online" ? MessageBoxService::Cancel
                                                     : MessageBoxService::Ok);
        world.open();
        rows.replaceInStrings("<hs>", world.hsName());
        QCOMPARE(world.rows(), rows);
        QCOMPARE(world.w->cmdConnect->isEnabled(), !rows.isEmpty());
        QCOMPARE(world.w->lblStatus->text(), status);
        QCOMPARE(world.env.prompts.count(), box.isEmpty() ? 0 : 1);
        if (box == "online") {
            QStringList tried{world.env.session.SessionPaths[Session::ServerListURL]};
            for (const QString& path : sources)
                tried << world.server.url(path);
            QCOMPARE(world.env.prompts.last().text, frmSelect::nothingAnsweredText(tried));
            QVERIFY(world.env.prompts.last().text.contains(world.server.url("/page.html")));
            QCOMPARE(frmSelect::nothingAnsweredButtons().mid(0, 2),
                     (QStringList{"Add Catalogue…", "Install Cars from Files…"}));
        } else if (!box.isEmpty()) {
            QCOMPARE(world.env.prompts.last().text, box);
            QCOMPARE(world.env.prompts.last().title, QStringLiteral("Error"));
        }
        // What each source's last fetch found is kept for the Catalogues window.
        const auto kept = CatalogueSources(*world.env.settings).list();
        QCOMPARE(kept.size(), sources.size());
        for (const auto& s : kept)
            QVERIFY(!s.lastFetch.isEmpty());
        QCOMPARE(world.env.prompts.unexpectedCount(), 0);
    }

    // "Add Catalogue…" in the box of nothing answered opens the Catalogues window; what is added
    // there is listed when it closes, with the status line saying the built-in list was silent.
    void nothingAnsweredAddsACatalogue() {
        World world;
        world.serveSources();
        world.env.ctx.systemOnline = [] { return std::optional<bool>(true); };
        world.env.prompts.expect(MessageBoxService::Yes); // the first button: Add Catalogue…
        bool addressFirst = false;
        WindowWatcher::whenShown("frmCatalogues", [&](QWidget* w) {
            auto* d = static_cast<frmCatalogues*>(w);
            addressFirst = d->focusWidget() == d->txtAddress;
            d->txtAddress->setText(world.server.url("/hs/Kavro_CL.dat"));
            QTest::keyClick(d->txtAddress, Qt::Key_Return);
            d->cmdClose->click();
        });
        world.open();
        QTRY_COMPARE(world.rows(), QStringList{world.hsName()});
        QVERIFY(addressFirst);
        QCOMPARE(world.w->lblStatus->text(), frmSelect::builtInSilentStatus());
        QVERIFY(world.w->cmdConnect->isEnabled());
    }

    // The Catalogues window of the Options menu: a served list and a catalogue are added and
    // say what they are, a web page and an address that is not http are refused with the reason,
    // Remove takes one away; the server window lists what is kept when the window closes.
    void cataloguesWindow() {
        World world;
        world.serveThreeServers();
        world.serveSources();
        world.open();
        QStringList found;
        QStringList listed;
        QString title, lastFetch;
        bool addAtFirst = true;
        WindowWatcher::whenShown("frmCatalogues", [&](QWidget* w) {
            // Only looks and clicks here: the checks come once the window has closed.
            auto* d = static_cast<frmCatalogues*>(w);
            title = d->windowTitle();
            addAtFirst = d->cmdAdd->isEnabled(); // nothing typed yet
            for (const QString& address :
                 {world.server.url("/src/sl.dat"), world.server.url("/hs/Kavro_CL.dat"),
                  world.server.url("/page.html"), QString("file:///etc/passwd")}) {
                d->txtAddress->setText(address);
                QTest::mouseClick(d->cmdAdd, Qt::LeftButton);
                found << d->lblFound->text();
            }
            for (int i = 0; i < d->lstSources->topLevelItemCount(); ++i)
                listed << d->lstSources->topLevelItem(i)->text(0) + " | " +
                              d->lstSources->topLevelItem(i)->text(1);
            lastFetch = d->lstSources->topLevelItemCount() > 1
                            ? d->lstSources->topLevelItem(1)->text(2)
                            : QString();
            d->lstSources->setCurrentItem(d->lstSources->topLevelItem(0));
            QTest::mouseClick(d->cmdRemove, Qt::LeftButton);
            found << d->lblFound->text();
            for (int i = 0; i < d->lstSources->topLevelItemCount(); ++i)
                listed << d->lstSources->topLevelItem(i)->text(0);
            d->cmdClose->click();
        });
        world.w->findChild<QAction*>("mnuCatalogues")->trigger();
        const QString list = world.server.url("/src/sl.dat");
        const QString cat = world.server.url("/hs/Kavro_CL.dat");
        QCOMPARE(found, (QStringList{"Added " + list + ": a server list with 2 servers.",
                                     "Added " + cat + ": a catalogue of 2 cars.",
                                     "Not added: " + world.server.url("/page.html") +
                                         " is a web page, not a server list or catalogue.",
                                     "Not added: file:///etc/passwd: only http:// and https:// "
                                     "addresses can be added.",
                                     "Removed " + list + "."}));
        QCOMPARE(title, QStringLiteral("NFSHS Kavro - Catalogues"));
        QVERIFY(!addAtFirst);
        QCOMPARE(listed, (QStringList{
                             list + " | 127.0.0.1:" + QString::number(world.server.port()) + "/src",
                             cat + " | " + world.hsName(), cat}));
        QVERIFY2(lastFetch.startsWith("a catalogue of 2 cars ("), qPrintable(lastFetch));
        QCOMPARE(world.rows(),
                 (QStringList{"Server One", "Server Two", "Server Three", world.hsName()}));
        QCOMPARE(world.env.prompts.count(), 0);
        QCOMPARE(world.server.requestCount("/Kavro_SL.dat"), 1); // the built-in list is kept
    }

    // A kavro:// link fetches and judges its address and asks; Yes adds it and the open server
    // window lists its servers. A link of another form, an address that is not http(s), or an
    // answer that is neither a list nor a catalogue is refused with a box naming the link.
    void linkRoad_data() {
        QTest::addColumn<QString>("link");     // <url> stands for the fake server
        QTest::addColumn<int>("answer");       // to the question; 0: no question
        QTest::addColumn<QString>("box");      // the first box's text
        QTest::addColumn<QStringList>("rows"); // the server window's afterwards
        const QStringList three{"Server One", "Server Two", "Server Three"};
        const QString list = "kavro://add?url=<url>%2Fsrc%2Fsl.dat";
        QTest::newRow("server list, Yes")
            << list << int(MessageBoxService::Yes)
            << "Add the catalogue <addr>/src/sl.dat to Kavro?\r\n\r\nIt is a server list with 2 "
               "servers."
            << (three + QStringList{"Source One", "Source Two"});
        QTest::newRow("catalogue, No")
            << "kavro://add?url=<url>%2Fhs%2FKavro_CL.dat" << int(MessageBoxService::No)
            << "Add the catalogue <addr>/hs/Kavro_CL.dat to Kavro?\r\n\r\nIt is a catalogue of 2 "
               "cars."
            << three;
        QTest::newRow("not of the form")
            << "kavro://install?url=<url>%2Fsrc%2Fsl.dat" << 0
            << "The link kavro://install?url=<url>%2Fsrc%2Fsl.dat is refused: Kavro takes links of "
               "the form kavro://add?url= followed by the address of a server list or a "
               "catalogue."
            << three;
        QTest::newRow("not http")
            << "kavro://add?url=file%3A%2F%2F%2Fetc%2Fpasswd" << 0
            << "The link kavro://add?url=file%3A%2F%2F%2Fetc%2Fpasswd is refused: its address "
               "file:///etc/passwd is not an http:// or https:// address."
            << three;
        QTest::newRow("web page")
            << "kavro://add?url=<url>%2Fpage.html" << 0
            << "The link kavro://add?url=<url>%2Fpage.html is refused: <addr>/page.html is a web "
               "page, not a server list or catalogue."
            << three;
    }
    void linkRoad() {
        QFETCH(QString, link);
        QFETCH(int, answer);
        QFETCH(QString, box);
        QFETCH(QStringList, rows);
        World world;
        world.serveThreeServers();
        world.serveSources();
        world.open();
        const QString addr = world.server.baseUrl();
        const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(addr));
        link.replace("<url>", encoded);
        box.replace("<url>", encoded).replace("<addr>", addr);
        world.env.prompts.expect(answer ? MessageBoxService::Answer(answer)
                                        : MessageBoxService::Ok);
        const bool added = CatalogueLink::offer(world.env.ctx, link, world.w.get());
        QCOMPARE(added, answer == MessageBoxService::Yes);
        QCOMPARE(world.env.prompts.count(), 1);
        QCOMPARE(world.env.prompts.last().text, box);
        QCOMPARE(world.env.prompts.last().style, answer ? 36 : 48);
        QCOMPARE(world.rows(), rows);
        QCOMPARE(CatalogueSources(*world.env.settings).list().size(), added ? 1 : 0);
    }

    void exitAsksFirst_data() {
        QTest::addColumn<bool>("byButton");
        QTest::newRow("Exit button") << true;
        QTest::newRow("window frame") << false;
    }
    void exitAsksFirst() {
        QFETCH(bool, byButton);
        World world;
        world.serveThreeServers();
        world.open();
        world.env.prompts.expect(MessageBoxService::No);
        if (byButton)
            QTest::mouseClick(world.w->cmdExit, Qt::LeftButton);
        else
            world.w->close();
        QCOMPARE(world.env.prompts.last().text, QStringLiteral("Are you sure you want to exit?"));
        QVERIFY(world.w->isVisible());
        QVERIFY(!world.env.programEnd.ended());
        world.env.prompts.expect(MessageBoxService::Yes);
        if (byButton)
            QTest::mouseClick(world.w->cmdExit, Qt::LeftButton);
        else
            world.w->close();
        QVERIFY(world.env.programEnd.ended());
        QCOMPARE(world.env.prompts.unexpectedCount(), 0);
    }
};

QTEST_MAIN(tst_frmSelect)
#include "tst_frmSelect.moc"
