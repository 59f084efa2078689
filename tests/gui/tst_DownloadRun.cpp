// The download run: cars one after the other, the log, the cancel, and what follows the run.
#include "DownloadTestSupport.h"
#include "TestEnv.h"
#include "VivBuilder.h"
#include "ZipBuilder.h"
#include "core/session/AppSettings.h"
#include "gui/DownloadForm.h"

#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace DownloadTest;

namespace {

struct Run {
    TestEnv env;
    FakeHttpServer server;
    std::unique_ptr<DownloadForm> form;
    QStringList installs;  // "n listLine"
    QStringList logAtScan; // the log as each scan saw it
    LogWindowCloser closer;

    explicit Run(bool fakeInstall = true) {
        env.useFixedClock();
        server.listen();
        env.session.SessionPaths[Session::AdsURL] = server.url(QStringLiteral("/ads.html"));
        server.route(QStringLiteral("/ads.html"), FakeResponse::ok("<p>Ad</p>"));
        form = std::make_unique<DownloadForm>(env.ctx);
        if (!fakeInstall)
            return;
        form->installCar = [this](qint16 n, const QString& line, QString&, QString&) {
            installs.append(QString::number(n) + u' ' + line);
        };
        form->scanCars = [this] { logAtScan.append(form->DownloadLog); };
    }
    void add(const QString& name, const QString& path) {
        form->lstdl->addItem(name);
        form->lstdlx->addItem(server.url(path));
    }
    QString stamp() const { return env.ctx.clock->timeText() + u' ' + env.ctx.clock->dateText(); }
    QString block(const QString& name, const QString& errors) const {
        return name + QStringLiteral("\r\n") + QString(name.size(), u'=') +
               QStringLiteral("\r\nStart at ") + stamp() + QStringLiteral("\r\nEnd at ") + stamp() +
               QStringLiteral("\r\nERRORS : ") + errors + QStringLiteral("\r\n\r\n");
    }
    void setOption(const char* name, const char* value) {
        env.settings->WriteSetting(RegistryRoot::CurrentUser, AppSettings::kAppKey,
                                   QString::fromLatin1(name), QString::fromLatin1(value));
    }
    QByteArray file(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

class tst_DownloadRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void threeCarsSecondMissing();
    void realInstallsAndSerialWarning();
    void cancelDuringTransfer();
    void closeWhileInstallingAsksNothing();
    void listClickJumpsBack();
    void afterRun_data();
    void afterRun();
};

void tst_DownloadRun::threeCarsSecondMissing() {
    Run r;
    r.server.route(QStringLiteral("/alpha.zip"), FakeResponse::ok(pattern(3000)));
    r.server.route(QStringLiteral("/zeta.zip"), FakeResponse::ok(pattern(5000)));
    r.add(QStringLiteral("Alpha GT"), QStringLiteral("/alpha.zip"));
    r.add(QStringLiteral("Roadster Z"), QStringLiteral("/roadster.zip"));
    r.add(QStringLiteral("Zeta"), QStringLiteral("/zeta.zip"));
    r.form->Process();

    const QString expected =
        r.block(QStringLiteral("Alpha GT"), QStringLiteral("(none)")) +
        r.block(QStringLiteral("Roadster Z"),
                QStringLiteral("The file, \"") + r.server.url(QStringLiteral("/roadster.zip")) +
                    QStringLiteral("\" was not found!\r\nDownload failed!\r\n")) +
        r.block(QStringLiteral("Zeta"), QStringLiteral("(none)"));
    QCOMPARE(r.form->DownloadLog, expected);
    QCOMPARE(r.file(r.env.workDir() + QStringLiteral("DOWNLOAD.LOG")),
             (expected + QStringLiteral("\r\n")).toLatin1());
    QCOMPARE(r.installs, (QStringList{QStringLiteral("1 Alpha GT"), QStringLiteral("3 Zeta")}));
    // One scan after each car, each after that car's "ERRORS : " line.
    QCOMPARE(r.logAtScan.size(), 3);
    QCOMPARE(r.logAtScan.at(0), r.block(QStringLiteral("Alpha GT"), QStringLiteral("(none)")));
    QVERIFY(r.logAtScan.at(1).endsWith(QStringLiteral("Download failed!\r\n\r\n\r\n")));
    QCOMPARE(r.logAtScan.at(2), expected);

    QCOMPARE(r.file(r.env.workDir() + QStringLiteral("CAR1.ZIP")), pattern(3000));
    QVERIFY(!QFile::exists(r.env.workDir() + QStringLiteral("CAR2.ZIP")));
    QCOMPARE(r.file(r.env.workDir() + QStringLiteral("CAR3.ZIP")), pattern(5000));
    QFile clip(QStringLiteral(":/movies/DLAVI"));
    QVERIFY(clip.open(QIODevice::ReadOnly));
    const QByteArray clipBytes = clip.readAll();
    QCOMPARE(r.file(r.env.workDir() + QStringLiteral("KAVRO.DRT")), clipBytes);
    QCOMPARE(r.file(QStringLiteral(KAVRO_SOURCE_DIR "/src/resources/download.avi")), clipBytes);

    // The run ends in the log window, then the program ends.
    QCOMPARE(r.closer.texts.size(), 1);
    QVERIFY(r.closer.texts.first().contains(QStringLiteral("Roadster Z")));
    QCOMPARE(r.env.programEnd.endCount(), 1);
    QVERIFY(!r.form->isVisible());
    QVERIFY(!r.form->tmrADS->isActive());
    QCOMPARE(r.env.prompts.count(), 0);
    QCOMPARE(r.env.actions.calls, QStringList());
    QVERIFY(r.server.requests().contains(QStringLiteral("/ads.html")));
}

void tst_DownloadRun::realInstallsAndSerialWarning() {
    if (!QFileInfo::exists(QStringLiteral(KAVRO_BIN_DIR "/kavro-unzip")))
        QSKIP("kavro-unzip is not built");
    Run r(false); // the real installer and scan
    // Both cars carry serial 7: the second is renumbered, with a warning in its block.
    QByteArray zip;
    const QString zipFile = r.env.root() + QStringLiteral("car.zip");
    QVERIFY(ZipBuilder()
                .add("CAR.VIV", VivBuilder::carArchive(7))
                .add("ABCD.QFS", QByteArray("picture"))
                .add("CAR.FEC", QByteArray("fec"))
                .write(zipFile));
    r.server.routeFile(QStringLiteral("/one.zip"), zipFile);
    r.server.routeFile(QStringLiteral("/two.zip"), zipFile);
    r.add(QStringLiteral("First Car"), QStringLiteral("/one.zip"));
    r.add(QStringLiteral("Second Car"), QStringLiteral("/two.zip"));
    r.form->Process();

    const QString log = r.form->DownloadLog;
    QVERIFY2(log.startsWith(r.block(QStringLiteral("First Car"), QStringLiteral("(none)"))),
             qPrintable(log));
    const QRegularExpression second(
        QStringLiteral("\r\nSecond Car\r\n==========\r\nStart at [^\r]+\r\nEnd at [^\r]+\r\n\r\n"
                       "WARNING: Serial Number conflit with \\[....\\]. Serial Number changed "
                       "automatically.\r\n\r\nERRORS : \\(none\\)\r\n\r\n$"));
    QVERIFY2(second.match(log).hasMatch(), qPrintable(log));
    QCOMPARE(r.env.session.installedCount(), 2); // the last scan sees both
    QCOMPARE(QDir(r.env.gamePath() + QStringLiteral("Data/Cars"))
                 .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                 .size(),
             2);
}

void tst_DownloadRun::cancelDuringTransfer() {
    Run r;
    r.server.route(QStringLiteral("/slow.zip"), slow(pattern(30 * 1024), 1024, 40));
    r.server.route(QStringLiteral("/next.zip"), FakeResponse::ok(pattern(3000)));
    r.add(QStringLiteral("Slow Car"), QStringLiteral("/slow.zip"));
    r.add(QStringLiteral("Next Car"), QStringLiteral("/next.zip"));
    r.env.prompts.expect(MessageBoxService::No);
    r.env.prompts.expect(MessageBoxService::Yes);
    int presses = 0;
    QString statusAfterNo;
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        const QString status = r.form->StatusLabel->text();
        if (presses == 0 && status.startsWith(QStringLiteral("10%"))) {
            ++presses;
            r.form->CancelButton->click(); // answered No: the download goes on
        } else if (presses == 1 && status.startsWith(QStringLiteral("30%"))) {
            ++presses;
            statusAfterNo = status;
            r.form->CancelButton->click(); // answered Yes
        }
    });
    presser.start(5);
    r.form->Process();

    QCOMPARE(presses, 2);
    QCOMPARE(r.env.prompts.count(), 2);
    QCOMPARE(r.env.prompts.unexpectedCount(), 0);
    QCOMPARE(r.env.prompts.boxes().at(0).style, 36);
    QCOMPARE(r.env.prompts.boxes().at(1).title, QStringLiteral("Cancel"));
    QVERIFY(statusAfterNo.startsWith(QStringLiteral("30%")));
    QCOMPARE(r.form->DownloadLog, QStringLiteral("Slow Car\r\n========\r\nStart at ") + r.stamp() +
                                      QStringLiteral("\r\nEnd at ") + r.stamp() +
                                      QStringLiteral("\r\nErrors : Cancelled by User\r\n\r\n"));
    QCOMPARE(r.closer.texts.size(), 1);
    QVERIFY(
        r.closer.texts.first().trimmed().endsWith(QStringLiteral("Errors : Cancelled by User")));
    QCOMPARE(r.env.programEnd.endCount(), 1);
    // Nothing after the cancel: no log file, no install, no scan, no next car, no actions.
    QVERIFY(!QFile::exists(r.env.workDir() + QStringLiteral("DOWNLOAD.LOG")));
    QVERIFY(r.installs.isEmpty());
    QVERIFY(r.logAtScan.isEmpty());
    QCOMPARE(r.server.requestCount(QStringLiteral("/next.zip")), 0);
    QVERIFY(r.env.actions.calls.isEmpty());
    QVERIFY(QFile::exists(r.env.workDir() + QStringLiteral("CAR1.ZIP"))); // left for next start
    QVERIFY(!r.form->isVisible());
}

void tst_DownloadRun::closeWhileInstallingAsksNothing() {
    Run r;
    r.server.route(QStringLiteral("/a.zip"), FakeResponse::ok(pattern(3000)));
    r.server.route(QStringLiteral("/b.zip"), FakeResponse::ok(pattern(3000)));
    r.add(QStringLiteral("A"), QStringLiteral("/a.zip"));
    r.add(QStringLiteral("B"), QStringLiteral("/b.zip"));
    r.form->installCar = [&](qint16 n, const QString&, QString&, QString&) {
        r.installs.append(QString::number(n));
        r.form->close(); // the user closes the window while the car is being installed
    };
    r.form->Process();
    QCOMPARE(r.env.prompts.count(), 0);
    QCOMPARE(r.installs, QStringList{QStringLiteral("1")});
    QCOMPARE(r.closer.texts.size(), 1);
    QVERIFY(r.form->DownloadLog.endsWith(QStringLiteral("Errors : Cancelled by User\r\n\r\n")));
    QVERIFY(!r.form->DownloadLog.contains(QStringLiteral("ERRORS : ")));
    QVERIFY(r.logAtScan.isEmpty());
    QCOMPARE(r.server.requestCount(QStringLiteral("/b.zip")), 0);
    QCOMPARE(r.env.programEnd.endCount(), 1);
}

void tst_DownloadRun::listClickJumpsBack() {
    Run r;
    r.server.route(QStringLiteral("/a.zip"), FakeResponse::ok(pattern(2000)));
    r.server.route(QStringLiteral("/b.zip"), slow(pattern(6000), 1024, 40));
    r.add(QStringLiteral("A"), QStringLiteral("/a.zip"));
    r.add(QStringLiteral("B"), QStringLiteral("/b.zip"));
    r.add(QStringLiteral("C"), QStringLiteral("/a.zip"));
    int rowAfterClick = -1;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (rowAfterClick < 0 && r.form->StatusLabel->text().contains(QStringLiteral("of B"))) {
            QListWidget* list = r.form->lstdl;
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(2)).center());
            rowAfterClick = list->currentRow();
        }
    });
    clicker.start(5);
    r.form->Process();
    QCOMPARE(rowAfterClick, 1);
}

void tst_DownloadRun::afterRun_data() {
    QTest::addColumn<QByteArray>("disconnect");
    QTest::addColumn<QByteArray>("shutdown");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("logShown");
    QTest::newRow("disconnect, then the log")
        << QByteArray("True") << QByteArray("False") << QStringList{"hangup"} << true;
    QTest::newRow("shutdown") << QByteArray("False") << QByteArray("True")
                              << QStringList{"poweroff"} << false;
    QTest::newRow("neither stored") << QByteArray() << QByteArray() << QStringList() << true;
    QTest::newRow("both") << QByteArray("True") << QByteArray("True")
                          << QStringList{"hangup", "poweroff"} << false;
}

void tst_DownloadRun::afterRun() {
    QFETCH(QByteArray, disconnect);
    QFETCH(QByteArray, shutdown);
    QFETCH(QStringList, calls);
    QFETCH(bool, logShown);
    Run r;
    if (!disconnect.isEmpty())
        r.setOption("disconnect", disconnect.constData());
    if (!shutdown.isEmpty())
        r.setOption("shutdown", shutdown.constData());
    r.server.route(QStringLiteral("/a.zip"), FakeResponse::ok(pattern(2000)));
    r.add(QStringLiteral("A"), QStringLiteral("/a.zip"));
    QStringList windowsAtPowerOff;
    r.form->Process();

    QCOMPARE(r.env.actions.calls, calls);
    QCOMPARE(r.closer.texts.size(), logShown ? 1 : 0);
    QCOMPARE(r.env.programEnd.endCount(), 1);
    QCOMPARE(visibleWindows(), QStringList());
    QCOMPARE(r.file(r.env.workDir() + QStringLiteral("DOWNLOAD.LOG")),
             (r.form->DownloadLog + QStringLiteral("\r\n")).toLatin1());
    const QString runOnce = r.env.settings->ReadSetting(
        RegistryRoot::CurrentUser, AppSettings::kRunOnceKey, QStringLiteral("Kavro"));
    const bool entry =
        QFile::exists(r.env.configHome() + QStringLiteral("autostart/kavro-runonce.desktop"));
    if (logShown) {
        QCOMPARE(runOnce, QString());
        QVERIFY(!entry);
    } else {
        QCOMPARE(runOnce, QStringLiteral(KAVRO_BIN_DIR "/kavro /showlog"));
        QVERIFY(entry);
    }
}

QTEST_MAIN(tst_DownloadRun)
#include "tst_DownloadRun.moc"
