// "Download and Install Cars" in the car browser: options stored first, the limit box, the
// hand-over to the download window, the announcements.
#include "DownloadTestSupport.h"
#include "TestEnv.h"
#include "VivBuilder.h"
#include "ZipBuilder.h"
#include "core/session/AppSettings.h"
#include "gui/DownloadForm.h"
#include "gui/frmCars.h"

#include <QAction>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace DownloadTest;

namespace {

struct Browser {
    TestEnv env;
    FakeHttpServer server;
    std::unique_ptr<frmCars> w;
    LogWindowCloser closer;

    // installed cars in the game, then catalogue entries (name, has an address).
    Browser(int installed, const QList<QPair<QString, bool>>& entries) {
        server.listen();
        for (int i = 0; i < installed; ++i)
            VivBuilder::installCar(env.gamePath(), QStringLiteral("C%1").arg(i, 3, 10, QChar('0')),
                                   VivBuilder::carArchive(quint8(i + 1)));
        w = std::make_unique<frmCars>(env.ctx);
        w->tmrFirstSS->stop(); // no preview fetches in these tests
        for (const auto& [name, hasAddress] : entries) {
            env.session.CarNames.append(name);
            env.session.CarAuthors.append(QString());
            env.session.CarShotURLs.append(QString());
            env.session.CarZipURLs.append(
                hasAddress ? server.url(QStringLiteral("/") + name + QStringLiteral(".zip"))
                           : QString());
            if (hasAddress)
                server.route(QStringLiteral("/") + name + QStringLiteral(".zip"),
                             FakeResponse::ok(pattern(2000)));
            w->addCar(name, qint32(env.session.CarNames.size() - 1));
        }
        w->show();
    }
    void tick(const QString& name) {
        for (int row = 0; row < w->lstCars->count(); ++row)
            if (w->lstCars->item(row)->text() == name)
                w->lstCars->item(row)->setCheckState(Qt::Checked);
    }
    void tickFirst(int n) {
        for (int row = 0; row < n; ++row)
            w->lstCars->item(row)->setCheckState(Qt::Checked);
    }
    QStringList ticked() const {
        QStringList names;
        for (int row = 0; row < w->lstCars->count(); ++row)
            if (w->lstCars->item(row)->checkState() == Qt::Checked)
                names << w->lstCars->item(row)->text();
        return names;
    }
    DownloadForm* form() const {
        return w->findChild<DownloadForm*>(QStringLiteral("DownloadForm"));
    }
    QString stored(const char* name) {
        return AppSettings::ReadAppSetting(env.ctx, QLatin1String(name));
    }
};

QList<QPair<QString, bool>> cars(int n, const QString& prefix = QStringLiteral("Car")) {
    QList<QPair<QString, bool>> list;
    for (int i = 1; i <= n; ++i)
        list.append({prefix + QStringLiteral(" %1").arg(i, 2, 10, QChar('0')), true});
    return list;
}

} // namespace

class tst_DownloadRequest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void limitRefuses_data();
    void limitRefuses();
    void handOverInListOrder();
    void onlyAnnouncements();
    void carAlreadyHereEndsInItsBlock();
};

void tst_DownloadRequest::limitRefuses_data() {
    QTest::addColumn<int>("installed");
    QTest::addColumn<int>("carsTicked");
    QTest::addColumn<int>("announcementsTicked");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QString>("filter");
    QTest::newRow("40 + 11") << 40 << 11 << 0
                             << "deselect 1 cars out of the 11 you selected, because you already "
                                "have 40 cars installed."
                             << "";
    QTest::newRow("45 + 3 cars + 3 announcements")
        << 45 << 3 << 3
        << "deselect 1 cars out of the 6 you selected, because you already have 45 cars "
           "installed."
        << "";
    QTest::newRow("40 + 11, ten hidden by the filter")
        << 40 << 11 << 0
        << "deselect 1 cars out of the 11 you selected, because you already have 40 cars "
           "installed."
        << "car 11";
}

void tst_DownloadRequest::limitRefuses() {
    QFETCH(int, installed);
    QFETCH(int, carsTicked);
    QFETCH(int, announcementsTicked);
    QFETCH(QString, ending);
    QFETCH(QString, filter);
    QList<QPair<QString, bool>> entries = cars(carsTicked);
    for (int i = 1; i <= announcementsTicked; ++i)
        entries.append({QStringLiteral("News %1").arg(i), false});
    Browser b(installed, entries);
    b.tickFirst(carsTicked + announcementsTicked);
    b.w->setFilterText(filter);
    // The options as the menu shows them at the moment of the request.
    b.w->mnuVSS->setChecked(false);
    b.w->mnuSAD->setChecked(true);
    b.w->mnuDAD->setChecked(false);
    const QStringList tickedBefore = b.ticked();
    b.env.prompts.expect(MessageBoxService::Ok);
    b.w->cmdDownload->click();

    QCOMPARE(b.env.prompts.count(), 1);
    QCOMPARE(b.env.prompts.last().title, QStringLiteral("Limit on Number of Cars"));
    QCOMPARE(b.env.prompts.last().style, 48);
    QVERIFY2(b.env.prompts.last().text.endsWith(ending), qPrintable(b.env.prompts.last().text));
    QVERIFY(b.w->isVisible());
    QCOMPARE(b.ticked(), tickedBefore);
    QVERIFY(!b.form());
    QCOMPARE(b.stored("loadss"), QStringLiteral("False"));
    QCOMPARE(b.stored("shutdown"), QStringLiteral("True"));
    QCOMPARE(b.stored("disconnect"), QStringLiteral("False"));
    QVERIFY(!b.env.programEnd.ended());
}

void tst_DownloadRequest::handOverInListOrder() {
    // Zeta is first in the catalogue, Alpha second; the announcement Beta has no address.
    Browser b(40, {{QStringLiteral("Zeta"), true},
                   {QStringLiteral("Alpha"), true},
                   {QStringLiteral("Beta"), false},
                   {QStringLiteral("Gamma"), true}});
    b.tick(QStringLiteral("Zeta"));
    b.tick(QStringLiteral("Alpha"));
    b.tick(QStringLiteral("Beta"));
    b.w->mnuDAD->setChecked(true);
    // Ticked cars hidden by the filter are handed over all the same.
    b.w->setFilterText(QStringLiteral("gamma"));
    QStringList listed, addresses;
    bool browserHidden = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        DownloadForm* f = b.form();
        if (!f || !f->isVisible() || !listed.isEmpty())
            return;
        for (int i = 0; i < f->lstdl->count(); ++i) {
            listed << f->lstdl->item(i)->text();
            addresses << f->lstdlx->item(i)->text();
        }
        browserHidden = !b.w->isVisible();
    });
    probe.start(1);
    b.w->cmdDownload->click();

    QCOMPARE(listed, (QStringList{QStringLiteral("Alpha"), QStringLiteral("Zeta")}));
    QCOMPARE(addresses, (QStringList{b.server.url(QStringLiteral("/Alpha.zip")),
                                     b.server.url(QStringLiteral("/Zeta.zip"))}));
    QVERIFY(browserHidden);
    QCOMPARE(b.stored("disconnect"), QStringLiteral("True"));
    // The run went through both cars and ended the program; the browser stays hidden.
    QCOMPARE(b.server.requestCount(QStringLiteral("/Alpha.zip")), 1);
    QCOMPARE(b.server.requestCount(QStringLiteral("/Zeta.zip")), 1);
    QCOMPARE(b.server.requestCount(QStringLiteral("/Gamma.zip")), 0);
    QCOMPARE(b.env.actions.calls, QStringList{QStringLiteral("hangup")});
    QCOMPARE(b.env.programEnd.endCount(), 1);
    QVERIFY(!b.w->isVisible());
    QCOMPARE(b.env.prompts.count(), 0);
}

void tst_DownloadRequest::onlyAnnouncements() {
    Browser b(0, {{QStringLiteral("News"), false},
                  {QStringLiteral("Notice"), false},
                  {QStringLiteral("Real Car"), true}});
    b.tick(QStringLiteral("News"));
    b.tick(QStringLiteral("Notice"));
    b.env.prompts.expect(MessageBoxService::Ok);
    b.w->cmdDownload->click();
    QCOMPARE(b.env.prompts.count(), 1);
    QCOMPARE(b.env.prompts.last().title, QStringLiteral("Car Selection"));
    QCOMPARE(b.env.prompts.last().style, 48);
    QCOMPARE(
        b.env.prompts.last().text,
        QStringLiteral("The cars you selected do not have a proper URL.\r\nThis may be because "
                       "they are just messages and not actually a car for download."));
    QVERIFY(b.w->isVisible());
    QCOMPARE(b.ticked(), (QStringList{QStringLiteral("News"), QStringLiteral("Notice")}));
    DownloadForm* form = b.form();
    QVERIFY(form);
    QVERIFY(!form->isVisible());
    QCOMPARE(form->lstdl->count(), 0);
    QCOMPARE(form->lstdlx->count(), 0);
    QVERIFY(!b.env.programEnd.ended());

    // The next request uses the same window, emptied again.
    b.env.prompts.expect(MessageBoxService::Ok);
    b.w->cmdDownload->click();
    QCOMPARE(b.w->findChildren<DownloadForm*>().size(), 1);
    QCOMPARE(b.env.prompts.count(), 2);
}

QTEST_MAIN(tst_DownloadRequest)
#include "tst_DownloadRequest.moc"

void tst_DownloadRequest::carAlreadyHereEndsInItsBlock() {
    // The catalogue's car is the game's C000 under another serial number and id.
    Browser b(1, {{QStringLiteral("Aurora"), true}});
    const QString zip = b.env.root() + QStringLiteral("aurora.zip");
    // (A download under 1 KB counts as failed: the ZIP carries a stored read-me to be larger.)
    QVERIFY(ZipBuilder()
                .add("CAR.VIV", VivBuilder::carArchive(9, "QWER"))
                .setStored(true)
                .add("README.TXT", pattern(3000))
                .write(zip));
    QFile file(zip);
    QVERIFY(file.open(QIODevice::ReadOnly));
    b.server.route(QStringLiteral("/Aurora.zip"), FakeResponse::ok(file.readAll()));
    b.tick(QStringLiteral("Aurora"));
    b.w->cmdDownload->click();
    QTRY_VERIFY_WITH_TIMEOUT(b.env.programEnd.ended(), 30000);
    QCOMPARE(b.closer.texts.size(), 1);
    const QString log = b.closer.texts.first();
    QVERIFY2(log.contains(QStringLiteral("already installed as C000")), qPrintable(log));
    QCOMPARE(QDir(b.env.gamePath() + QStringLiteral("Data/Cars"))
                 .entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("C000")});
    QCOMPARE(b.env.prompts.count(), 0);
}
