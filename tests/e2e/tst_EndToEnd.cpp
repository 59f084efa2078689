// The whole road on a freshly made demo world, with the real windows driven offscreen: start-up
// with "/SKIPINTRO", Ignore at the connection check, the server list, Connect, three cars ticked
// (one of them missing on the server), Download, the run, the log window. Then the game folder,
// DOWNLOAD.LOG and the settings store are checked.
#include "TestEnv.h"
#include "TestFiles.h"
#include "WindowWatcher.h"
#include "core/catalogue/CatalogueFile.h"
#include "core/gamedata/Viv.h"
#include "core/session/AppSettings.h"
#include "gui/Startup.h"
#include "gui/frmCars.h"
#include "gui/frmLog.h"
#include "gui/frmSelect.h"
#include "platform/AnsiText.h"
#include "platform/GameFs.h"

#include <QComboBox>
#include <QListWidget>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

using TestFiles::readAll;

namespace {

const QString kDemo = QStringLiteral(KAVRO_BIN_DIR "/kavro-demo");

} // namespace

class tst_EndToEnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    // The road's windows outlive its test world (the recorded end does not close them): none may
    // wake up in a later test, so each test's windows go with it.
    void cleanup() { WindowWatcher::closeAll(); }
    void wholeRoad();
    void everyScreenshotResolves_data();
    void everyScreenshotResolves();

private:
    // The status and body of a GET on the demo server.
    int get(const QString& url, QByteArray* body = nullptr);

    QTemporaryDir m_dir;
    QString m_world;
    QProcess m_server;
    QString m_url;
};

void tst_EndToEnd::initTestCase() {
    QVERIFY(m_dir.isValid());
    m_world = m_dir.path() + QStringLiteral("/world");
    QProcess make;
    make.start(kDemo, {QStringLiteral("make"), m_world});
    QVERIFY2(make.waitForFinished(60000), "kavro-demo make did not finish");
    QVERIFY2(make.exitCode() == 0, make.readAllStandardError().constData());

    m_server.start(kDemo, {QStringLiteral("serve"), m_world, QStringLiteral("--zip-rate"),
                           QStringLiteral("0")});
    QVERIFY(m_server.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_server.canReadLine(), 10000);
    m_url = QString::fromLatin1(m_server.readLine()).trimmed();
    QVERIFY(m_url.startsWith(QLatin1String("http://127.0.0.1:")));

    QDir().mkpath(m_world + QStringLiteral("/temp"));
}

void tst_EndToEnd::cleanupTestCase() {
    m_server.kill();
    m_server.waitForFinished();
}

void tst_EndToEnd::wholeRoad() {
    // No reply of ours is finished or aborted twice on the whole road (Qt would say so).
    QTest::failOnWarning(QRegularExpression(QStringLiteral("must only be called once")));
    // A test world for HOME, the hang-up and shutdown recorders and the services; the demo
    // world's own store, work folder and catalogue server on top of it.
    TestEnv env;
    qputenv("TEMP", (m_world + QStringLiteral("/temp")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (m_world + QStringLiteral("/config")).toLocal8Bit());
    qputenv("KAVRO_LOCALHOST", m_url.toLocal8Bit());
    env.settings = std::make_unique<SettingsStore>(SettingsStore::defaultPath());
    env.ctx.settings = env.settings.get();
    env.ctx.commandLine = QStringLiteral("/SKIPINTRO /LOCALHOST");
    Session& session = env.session;
    SettingsStore& settings = *env.settings;
    ScriptedPrompts& prompts = env.prompts;
    ProgramEnd& programEnd = env.programEnd;
    AppContext& ctx = env.ctx;
    QCOMPARE(settings.filePath(), m_world + QStringLiteral("/config/kavro/registry.reg"));

    // Start-up: no dial-up link, so the connection box; Ignore opens the server window.
    prompts.expect(MessageBoxService::Ignore);
    Startup startup(ctx);
    startup.run();
    QVERIFY(!programEnd.ended());
    QCOMPARE(prompts.count(), 1);
    QCOMPARE(prompts.last().title, QStringLiteral("Active Internet Connection"));
    QCOMPARE(session.GamePath, m_world + QStringLiteral("/game/"));
    QCOMPARE(session.installedCount(), 4);

    // The server list.
    auto* select = qobject_cast<frmSelect*>(WindowWatcher::find(QStringLiteral("frmSelect")));
    QVERIFY(select);
    QTRY_VERIFY_WITH_TIMEOUT(select->cmdConnect->isEnabled(), 10000);
    QCOMPARE(select->cboSites->count(), 2);
    QCOMPARE(select->cboSites->itemText(0), QStringLiteral("Kavro Demo Depot"));
    QCOMPARE(select->lblStatus->text(), QStringLiteral("."));

    // Connect to the first server: its catalogue fills the car browser.
    select->cboSites->setCurrentIndex(0);
    select->cmdConnect->click();
    auto* cars = qobject_cast<frmCars*>(WindowWatcher::find(QStringLiteral("frmCars")));
    QVERIFY(cars);
    QTRY_VERIFY_WITH_TIMEOUT(cars->isVisible(), 10000);
    QVERIFY(!select->isVisible());
    QCOMPARE(cars->lblNoCars->text(), QStringLiteral("8"));
    QCOMPARE(cars->lstCars->count(), 8);

    // Tick three cars, one of which is missing on the server.
    const QStringList wanted{QStringLiteral("Aurora GT"), QStringLiteral("Dusk Runner"),
                             QStringLiteral("Fjord Wagon")};
    for (const QString& name : wanted) {
        const auto found = cars->lstCars->findItems(name, Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        found.first()->setCheckState(Qt::Checked);
    }
    QVERIFY(cars->cmdDownload->isEnabled());

    // Download: the run ends with the log window, whose Exit ends the program.
    QString shownLog;
    WindowWatcher::whenShown(
        QStringLiteral("frmLog"),
        [&](QWidget* w) {
            auto* log = qobject_cast<frmLog*>(w);
            shownLog = log->txtlog->toPlainText();
            log->cmdOK->click();
        },
        120000);
    cars->cmdDownload->click();
    QTRY_VERIFY_WITH_TIMEOUT(programEnd.ended(), 120000);
    QCOMPARE(prompts.count(), 1);
    QCOMPARE(prompts.unexpectedCount(), 0);
    QVERIFY(shownLog.contains(QStringLiteral("Fjord Wagon")));

    // The game: two new cars with their list lines and serials no other car has.
    const QString carsDir = m_world + QStringLiteral("/game/Data/Cars/");
    const QStringList ids = GameFs::list(carsDir, QStringLiteral("????"), GameFs::Kind::Folders);
    QCOMPARE(ids.size(), 6);
    QStringList newNames;
    QMap<QString, int> serials;
    for (const QString& id : ids) {
        const qint16 serial = ReadViv(carsDir + id + QStringLiteral("/CAR.VIV"), QString(), 1);
        QVERIFY2(serial > 0, qPrintable(id));
        serials.insert(id, serial);
        if (id.startsWith(QLatin1String("DMO")))
            continue;
        QVERIFY(QFileInfo::exists(m_world + QStringLiteral("/game/SaveData/Cars/") + id));
        newNames.append(QString::fromLatin1(readAll(carsDir + id + QStringLiteral("/ID.TXT"))));
    }
    for (const QString& id : ids) {
        if (id.startsWith(QLatin1String("DMO")))
            continue; // two of the demo's own cars share a serial on purpose
        for (auto it = serials.cbegin(); it != serials.cend(); ++it)
            QVERIFY2(it.key() == id || it.value() != serials.value(id),
                     qPrintable(id + " vs " + it.key()));
    }
    newNames.sort();
    QCOMPARE(newNames,
             (QStringList{QStringLiteral("Aurora GT\r\n"), QStringLiteral("Fjord Wagon\r\n")}));

    // The log: three blocks, the missing car failed, both installed cars renumbered.
    const QString log =
        AnsiText::decode(readAll(m_world + QStringLiteral("/temp/Kavro/DOWNLOAD.LOG")));
    QCOMPARE(
        log.count(QStringLiteral("\r\nERRORS : ")) + log.startsWith(QLatin1String("ERRORS : ")), 3);
    QCOMPARE(log.count(QStringLiteral("ERRORS : (none)")), 2);
    QCOMPARE(log.count(QStringLiteral("was not found!")), 1);
    QCOMPARE(log.count(QStringLiteral("Download failed!")), 1);
    QCOMPARE(log.count(QStringLiteral("WARNING: Serial Number conflit with [")), 2);
    QVERIFY(log.startsWith(QStringLiteral("Aurora GT\r\n=========\r\nStart at ")));
    QVERIFY(log.endsWith(QStringLiteral("\r\n\r\n\r\n")));
    QVERIFY(shownLog.contains(QStringLiteral("Dusk Runner")));
    QVERIFY(shownLog.contains(QStringLiteral("was not found!")));

    // The browser knows the two cars now: their rows are marked, the missing one's is not.
    cars->refreshMarks();
    QStringList marked;
    for (int row = 0; row < cars->lstCars->count(); ++row)
        if (!cars->markOf(row).isEmpty())
            marked << cars->lstCars->item(row)->text() + u' ' + cars->markOf(row);
    QCOMPARE(marked, (QStringList{QStringLiteral("Aurora GT installed"),
                                  QStringLiteral("Fjord Wagon installed")}));

    // The store: the start stamp and the options as the browser's menu had them.
    auto value = [&](const char* name) {
        return settings.ReadSetting(RegistryRoot::CurrentUser, AppSettings::kAppKey,
                                    QString::fromLatin1(name));
    };
    QCOMPARE(value("installpath"), QStringLiteral(KAVRO_BIN_DIR));
    QVERIFY(!value("lastopen").isEmpty());
    QCOMPARE(value("loadss"), QStringLiteral("True"));
    QCOMPARE(value("shutdown"), QStringLiteral("False"));
    QCOMPARE(value("disconnect"), QStringLiteral("False"));
    QVERIFY(!QFileInfo::exists(env.actionsLog()));
    QVERIFY(env.actions.calls.isEmpty());
}

int tst_EndToEnd::get(const QString& url, QByteArray* body) {
    QNetworkAccessManager network;
    QNetworkReply* reply = network.get(QNetworkRequest(QUrl(url)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    if (body)
        *body = reply->readAll();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    reply->deleteLater();
    return status;
}

// Every screenshot address the demo catalogues give (completed as the browser completes them)
// is served.
void tst_EndToEnd::everyScreenshotResolves_data() {
    QTest::addColumn<QString>("server");
    QTest::newRow("layout 1") << "/one/";
    QTest::newRow("layout 0") << "/two/";
}

void tst_EndToEnd::everyScreenshotResolves() {
    QFETCH(QString, server);
    QByteArray text;
    QCOMPARE(get(m_url + server + QStringLiteral("Kavro_CL.dat"), &text), 200);
    CatalogueFile catalogue;
    catalogue.parse(AnsiText::splitLines(text), m_url + server);
    QVERIFY(catalogue.complete);
    QVERIFY(!catalogue.entries.isEmpty());
    for (const CatalogueFile::Entry& e : catalogue.entries)
        if (!e.shotUrl.isEmpty())
            QVERIFY2(get(e.shotUrl) == 200, qPrintable(e.name + u' ' + e.shotUrl));
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_EndToEnd.moc"
