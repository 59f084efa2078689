// The download window: layout, what a download shows, the close request, the list rule, the
// clip player and the advertisement pane.
#include "DownloadTestSupport.h"
#include "TestEnv.h"
#include "core/download/HttpTransfer.h"
#include "core/session/Session.h"
#include "gui/AdPane.h"
#include "gui/ClipPlayer.h"
#include "PictureBytes.h"
#include "TestFiles.h"
#include "core/session/AppSettings.h"
#include "gui/DownloadForm.h"

#include <QLabel>
#include <QScrollBar>
#include <QListWidget>
#include <QtTest>

using namespace DownloadTest;

class tst_DownloadForm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void layout_data();
    void layout();
    void progressOnScreen();
    void minimizedCaption();
    void closeRequest_data();
    void closeRequest();
    void listFollowsTheCurrentCar();
    void clipPlayerLoops();
    void clipPlayerWithoutClip();
    void adPaneLoadsPageAndPictures();
    void adPaneSilentWhenUnreachable();
    void adPaneBoundsItsPictures_data();
    void adPaneBoundsItsPictures();
    void cancelDuringTransfer();
    void listClickJumpsBack();
    void afterRun_data();
    void afterRun();

private:
    // Empties the queue and adds one car per name, served at "/" + address.
    void queue(const QList<std::pair<QString, QString>>& cars);
    void setOption(const char* name, const char* value);
    QString stamp() const { return env->ctx.clock->timeText() + u' ' + env->ctx.clock->dateText(); }

    std::unique_ptr<TestEnv> env;
    std::unique_ptr<FakeHttpServer> server;
    std::unique_ptr<DownloadForm> form;
};

void tst_DownloadForm::init() {
    // Qt's report of a reply finished or aborted twice is a fault of ours.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("must only be called once")));
    env = std::make_unique<TestEnv>();
    env->useFixedClock();
    server = std::make_unique<FakeHttpServer>();
    QVERIFY(server->listen());
    form = std::make_unique<DownloadForm>(env->ctx);
    form->lstdl->addItem(QStringLiteral("Example GT"));
    form->lstdl->setCurrentRow(0);
    QFile::copy(QStringLiteral(":/movies/DLAVI"), env->workDir() + QStringLiteral("KAVRO.DRT"));
}

void tst_DownloadForm::cleanup() {
    form.reset();
    server.reset();
    env.reset();
}

void tst_DownloadForm::layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("lstdl") << "lstdl" << QRect(12, 12, 121, 147);
    QTest::newRow("Animation1") << "Animation1" << QRect(168, 0, 273, 41);
    QTest::newRow("StatusLabel") << "StatusLabel" << QRect(148, 64, 309, 21);
    QTest::newRow("PBarOut") << "PBarOut" << QRect(148, 92, 309, 13);
    QTest::newRow("PBar") << "PBar" << QRect(0, 0, 0, 13);
    QTest::newRow("StatusLabel2") << "StatusLabel2" << QRect(148, 112, 309, 41);
    QTest::newRow("CancelButton") << "CancelButton" << QRect(388, 156, 81, 25);
    QTest::newRow("wbADS") << "wbADS" << QRect(0, 188, 472, 64);
}

void tst_DownloadForm::layout() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    auto* w = form->findChild<QWidget*>(name);
    QVERIFY(w);
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(form->size(), QSize(474, 253));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QCOMPARE(form->windowTitle(), QStringLiteral("Downloading..."));
    QCOMPARE(form->CancelButton->text(), QStringLiteral("Cancel"));
    QVERIFY(form->lstdlx->isHidden());
    QCOMPARE(form->PBarOut->palette().color(QPalette::Window), QColor(224, 224, 224));
    QCOMPARE(form->PBar->palette().color(QPalette::Window), QColor(0, 0, 255));
    QCOMPARE(form->tmrADS->isActive(), false);
}

void tst_DownloadForm::progressOnScreen() {
    // Three KB: the first update (one third) shows while the last chunk is awaited.
    server->route(QStringLiteral("/a.zip"), slow(pattern(3000), 1024, 300));
    form->show();
    QString status, block, caption;
    int bar = -1;
    bool playing = false;
    QTimer probe;
    connect(&probe, &QTimer::timeout, this, [&] {
        if (status.isEmpty() && form->StatusLabel->text().contains(QLatin1Char('%'))) {
            status = form->StatusLabel->text();
            block = form->StatusLabel2->text();
            caption = form->windowTitle();
            bar = form->PBar->width();
            playing = form->Animation1->isPlaying();
        }
    });
    probe.start(5);
    QVERIFY(form->DownloadFile(server->url(QStringLiteral("/a.zip")),
                               env->workDir() + QStringLiteral("CAR1.ZIP"), QString(), QString()));
    QCOMPARE(status, QStringLiteral("33% of Example GT Downloaded"));
    QCOMPARE(block, QStringLiteral("Estimated Time Left: 0 sec (1.0 KB of 3.0 KB copied)\n\n"
                                   "Transfer Rate: 0.0 KB/Sec"));
    QCOMPARE(form->status2Text(), QString());
    QCOMPARE(caption, QStringLiteral("Downloading..."));
    QCOMPARE(bar, 103);
    QVERIFY(playing);
    QCOMPARE(form->Animation1->size(), QSize(272, 60));
    QCOMPARE(form->StatusLabel->text(), QStringLiteral("Download completed!"));
    QCOMPARE(form->StatusLabel2->text(), QString());
    QCOMPARE(form->PBar->width(), 206); // two thirds, kept until the next attempt's first update
    QVERIFY(form->TransferEnded);
}

void tst_DownloadForm::minimizedCaption() {
    server->route(QStringLiteral("/a.zip"), slow(pattern(4000), 1024, 150));
    form->showMinimized();
    QStringList captions;
    QTimer probe;
    connect(&probe, &QTimer::timeout, this, [&] {
        if (!captions.contains(form->windowTitle()))
            captions.append(form->windowTitle());
        if (form->windowTitle().startsWith(QStringLiteral("50%")))
            form->showNormal();
    });
    probe.start(5);
    QVERIFY(form->DownloadFile(server->url(QStringLiteral("/a.zip")),
                               env->workDir() + QStringLiteral("CAR1.ZIP"), QString(), QString()));
    QVERIFY2(captions.contains(QStringLiteral("25% of Example GT Downloaded")),
             qPrintable(captions.join('|')));
    QCOMPARE(form->windowTitle(), QStringLiteral("Downloading..."));
}

void tst_DownloadForm::closeRequest_data() {
    QTest::addColumn<bool>("transferEnded");
    QTest::addColumn<bool>("cancelledBefore");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asks");
    QTest::addColumn<bool>("ends");
    QTest::newRow("during a transfer, No")
        << false << false << int(MessageBoxService::No) << true << false;
    QTest::newRow("during a transfer, Yes")
        << false << false << int(MessageBoxService::Yes) << true << true;
    QTest::newRow("between transfers") << true << false << 0 << false << true;
    QTest::newRow("No after a failed connection")
        << false << true << int(MessageBoxService::No) << true << true;
}

void tst_DownloadForm::closeRequest() {
    QFETCH(bool, transferEnded);
    QFETCH(bool, cancelledBefore);
    QFETCH(int, answer);
    QFETCH(bool, asks);
    QFETCH(bool, ends);
    LogWindowCloser closer;
    form->TransferEnded = transferEnded;
    form->CancelRequested = cancelledBefore;
    form->DownloadLog = QStringLiteral("Example GT\r\n==========\r\nStart at x\r\n");
    if (asks)
        env->prompts.expect(MessageBoxService::Answer(answer));
    form->show();
    QTest::mouseClick(form->CancelButton, Qt::LeftButton);

    QCOMPARE(env->prompts.count(), asks ? 1 : 0);
    QCOMPARE(env->prompts.unexpectedCount(), 0);
    if (asks) {
        QCOMPARE(env->prompts.last().text,
                 QStringLiteral("Are you sure you want to cancel downloading? (this will also "
                                "cancel all remaining files)"));
        QCOMPARE(env->prompts.last().title, QStringLiteral("Cancel"));
        QCOMPARE(env->prompts.last().style, 36);
    }
    QCOMPARE(env->programEnd.ended(), ends);
    QCOMPARE(form->isVisible(), !ends);
    if (ends) {
        const QString stamp = env->ctx.clock->timeText() + u' ' + env->ctx.clock->dateText();
        QCOMPARE(form->DownloadLog, QStringLiteral("Example GT\r\n==========\r\nStart at x\r\n") +
                                        QStringLiteral("End at ") + stamp +
                                        QStringLiteral("\r\nErrors : Cancelled by User\r\n\r\n"));
        QCOMPARE(closer.texts.size(), 1);
        QVERIFY(
            closer.texts.first().trimmed().endsWith(QStringLiteral("Errors : Cancelled by User")));
    } else {
        QVERIFY(closer.texts.isEmpty());
        QCOMPARE(form->DownloadLog, QStringLiteral("Example GT\r\n==========\r\nStart at x\r\n"));
    }
}

void tst_DownloadForm::listFollowsTheCurrentCar() {
    form->lstdl->clear();
    for (int i = 1; i <= 40; ++i)
        form->lstdl->addItem(QStringLiteral("Car %1").arg(i));
    form->show();
    // Before the first car the list is the user's.
    form->lstdl->setCurrentRow(4);
    QCOMPARE(form->lstdl->currentRow(), 4);
    form->CurrentItem = 12;
    QTest::mouseClick(form->lstdl->viewport(), Qt::LeftButton, {},
                      form->lstdl->visualItemRect(form->lstdl->item(0)).center());
    QCOMPARE(form->lstdl->currentRow(), 11);
    const int top = form->lstdl->verticalScrollBar()->value();
    QCOMPARE(form->lstdl->indexAt(QPoint(2, 2)).row(), 11);
    form->lstdl->verticalScrollBar()->setValue(0);
    QCOMPARE(form->lstdl->verticalScrollBar()->value(), top);
    QTest::keyClick(form->lstdl, Qt::Key_Down);
    QCOMPARE(form->lstdl->currentRow(), 11);
}

void tst_DownloadForm::clipPlayerLoops() {
    ClipPlayer player;
    QVERIFY(player.open(env->workDir() + QStringLiteral("KAVRO.DRT")));
    QCOMPARE(player.size(), QSize(272, 60));
    QCOMPARE(player.currentFrame(), 0);
    QVERIFY(!player.isPlaying());
    const QImage first = player.currentImage();
    QCOMPARE(first.size(), QSize(272, 60));
    QCOMPARE(qAlpha(first.pixel(0, 0)), 0); // the background is the window's
    player.play();
    QTRY_VERIFY_WITH_TIMEOUT(player.currentFrame() >= 3, 2000);
    QVERIFY(player.currentImage() != first);
    QTRY_VERIFY_WITH_TIMEOUT(player.currentFrame() < 3, 4000); // back to the start: a loop
    QVERIFY(player.open(env->workDir() + QStringLiteral("KAVRO.DRT")));
    QVERIFY(!player.isPlaying());
    QCOMPARE(player.currentFrame(), 0);
}

void tst_DownloadForm::clipPlayerWithoutClip() {
    ClipPlayer player;
    QVERIFY(!player.open(env->workDir() + QStringLiteral("missing.avi")));
    player.play();
    QVERIFY(!player.isPlaying());
    QVERIFY(player.currentImage().isNull());
}

void tst_DownloadForm::adPaneLoadsPageAndPictures() {
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    // A picture on the machine itself is never read, even when the page names it.
    const QString local = env->writeFile(env->root() + QStringLiteral("local.png"), png);
    const QUrl localUrl = QUrl::fromLocalFile(local);
    FakeResponse page =
        FakeResponse::ok("<html><body><script>alert('x')</script><p>Fast cars here</p>"
                         "<img src=\"" + localUrl.toEncoded() + "\">"
                         "<img src=\"pics/banner.png\"></body></html>");
    page.headers.append(
        qMakePair(QByteArray("Content-Type"), QByteArray("text/html; charset=utf-8")));
    server->route(QStringLiteral("/ads/index.html"), page);
    server->route(QStringLiteral("/ads/pics/banner.png"), FakeResponse::ok(png));
    AdPane pane(&env->network);
    pane.resize(472, 64);
    pane.show();
    QSignalSpy finished(&pane, &AdPane::pageFinished);
    pane.navigate(QUrl(server->url(QStringLiteral("/ads/index.html"))));
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first().toBool(), true);
    QVERIFY(pane.toPlainText().contains(QStringLiteral("Fast cars here")));
    QVERIFY(!pane.toPlainText().contains(QStringLiteral("alert")));
    QTRY_COMPARE(server->requestCount(QStringLiteral("/ads/pics/banner.png")), 1);
    QTRY_VERIFY(pane.hasPicture(QUrl(server->url(QStringLiteral("/ads/pics/banner.png")))));
    QCOMPARE(finished.size(), 1);
    QVERIFY(!pane.hasPicture(localUrl));

    // Nor is a page the ad server redirects to there.
    FakeResponse moved = FakeResponse::status("HTTP/1.1 302 Found", "");
    moved.headers.append({"Location", localUrl.toEncoded()});
    server->route(QStringLiteral("/ads/moved.html"), moved);
    pane.navigate(QUrl(server->url(QStringLiteral("/ads/moved.html"))));
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.last().first().toBool(), false);
    QVERIFY(!pane.toPlainText().contains(QStringLiteral("Fast cars here")));
}

void tst_DownloadForm::adPaneBoundsItsPictures_data() {
    QTest::addColumn<QList<QSize>>("pictures");
    QTest::addColumn<int>("requested");
    QTest::addColumn<int>("shown");
    QTest::newRow("32 pictures a page") << QList<QSize>(40, QSize(8, 8)) << 32 << 32;
    QTest::newRow("2048 pixels each way")
        << QList<QSize>{QSize(2049, 1), QSize(1, 2049), QSize(2048, 2048)} << 3 << 1;
    QTest::newRow("32 million pixels together") << QList<QSize>(9, QSize(2000, 2000)) << 9 << 8;
}

void tst_DownloadForm::adPaneBoundsItsPictures() {
    QFETCH(QList<QSize>, pictures);
    QFETCH(int, requested);
    QFETCH(int, shown);
    QByteArray page = "<p>Ad</p>";
    for (int i = 0; i < pictures.size(); ++i) {
        QImage picture(pictures.at(i), QImage::Format_Mono);
        picture.fill(1);
        server->route(QStringLiteral("/p%1.png").arg(i),
                      FakeResponse::ok(PictureBytes::encode(picture, "png")));
        page += "<img src=\"p" + QByteArray::number(i) + ".png\">";
    }
    server->route(QStringLiteral("/ads.html"), FakeResponse::ok(page));
    AdPane pane(&env->network);
    pane.show();
    pane.navigate(QUrl(server->url(QStringLiteral("/ads.html"))));
    QTRY_COMPARE(server->requests().size(), 1 + requested);
    QTRY_VERIFY(!pane.isLoading());
    QCOMPARE(pane.pictureCount(), shown);
}

void tst_DownloadForm::adPaneSilentWhenUnreachable() {
    // The ad server is down while the window downloads: no box, the download completes, the
    // first load starts at once and the next one is a minute later.
    env->session.SessionPaths[Session::AdsURL] = QStringLiteral("http://127.0.0.1:1/ads.html");
    server->route(QStringLiteral("/a.zip"), slow(pattern(3000), 1024, 50));
    form->show();
    QSignalSpy pageDone(form->wbADS, &AdPane::pageFinished);
    form->tmrADS->start();
    QVERIFY(form->DownloadFile(server->url(QStringLiteral("/a.zip")),
                               env->workDir() + QStringLiteral("CAR1.ZIP"), QString(), QString()));
    QTRY_COMPARE(pageDone.size(), 1);
    QCOMPARE(pageDone.first().first().toBool(), false);
    QCOMPARE(form->wbADS->navigationCount(), 1);
    QCOMPARE(form->tmrADS->interval(), 60000);
    QCOMPARE(form->wbADS->x(), 1);
    QCOMPARE(env->prompts.count(), 0);
    QCOMPARE(form->ErrorText, QString());
}

void tst_DownloadForm::queue(const QList<std::pair<QString, QString>>& cars) {
    env->session.SessionPaths[Session::AdsURL] = server->url(QStringLiteral("/ads.html"));
    server->route(QStringLiteral("/ads.html"), FakeResponse::ok("<p>Ad</p>"));
    form->lstdl->clear();
    form->lstdlx->clear();
    for (const auto& [name, path] : cars) {
        form->lstdl->addItem(name);
        form->lstdlx->addItem(server->url(path));
    }
}

void tst_DownloadForm::setOption(const char* name, const char* value) {
    env->settings->WriteSetting(RegistryRoot::CurrentUser, AppSettings::kAppKey,
                                QString::fromLatin1(name), QString::fromLatin1(value));
}

void tst_DownloadForm::cancelDuringTransfer() {
    server->route(QStringLiteral("/slow.zip"), slow(pattern(30 * 1024), 1024, 40));
    server->route(QStringLiteral("/next.zip"), FakeResponse::ok(pattern(3000)));
    queue({{QStringLiteral("Slow Car"), QStringLiteral("/slow.zip")},
           {QStringLiteral("Next Car"), QStringLiteral("/next.zip")}});
    LogWindowCloser closer;
    env->prompts.expect(MessageBoxService::No);
    env->prompts.expect(MessageBoxService::Yes);
    int presses = 0;
    QString statusAfterNo;
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, [&] {
        const QString status = form->StatusLabel->text();
        if (presses == 0 && status.startsWith(QStringLiteral("10%"))) {
            ++presses;
            form->CancelButton->click(); // answered No: the download goes on
        } else if (presses == 1 && status.startsWith(QStringLiteral("30%"))) {
            ++presses;
            statusAfterNo = status;
            form->CancelButton->click(); // answered Yes
        }
    });
    presser.start(5);
    form->Process();

    QCOMPARE(presses, 2);
    QCOMPARE(env->prompts.count(), 2);
    QCOMPARE(env->prompts.unexpectedCount(), 0);
    QVERIFY(statusAfterNo.startsWith(QStringLiteral("30%")));
    QCOMPARE(form->DownloadLog, QStringLiteral("Slow Car\r\n========\r\nStart at ") + stamp() +
                                    QStringLiteral("\r\nEnd at ") + stamp() +
                                    QStringLiteral("\r\nErrors : Cancelled by User\r\n\r\n"));
    QCOMPARE(closer.texts.size(), 1);
    QVERIFY(closer.texts.first().trimmed().endsWith(QStringLiteral("Errors : Cancelled by User")));
    QCOMPARE(env->programEnd.endCount(), 1);
    // Nothing after the cancel: no log file, no next car, no actions.
    QVERIFY(!QFile::exists(env->workDir() + QStringLiteral("DOWNLOAD.LOG")));
    QCOMPARE(server->requestCount(QStringLiteral("/next.zip")), 0);
    QVERIFY(env->actions.calls.isEmpty());
    QVERIFY(QFile::exists(env->workDir() + QStringLiteral("CAR1.ZIP"))); // left for next start
    QVERIFY(!form->isVisible());
}

void tst_DownloadForm::listClickJumpsBack() {
    server->route(QStringLiteral("/a.zip"), FakeResponse::ok(pattern(2000)));
    server->route(QStringLiteral("/b.zip"), slow(pattern(6000), 1024, 40));
    queue({{QStringLiteral("A"), QStringLiteral("/a.zip")},
           {QStringLiteral("B"), QStringLiteral("/b.zip")},
           {QStringLiteral("C"), QStringLiteral("/a.zip")}});
    LogWindowCloser closer;
    int rowAfterClick = -1;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (rowAfterClick < 0 && form->StatusLabel->text().contains(QStringLiteral("of B"))) {
            QListWidget* list = form->lstdl;
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(2)).center());
            rowAfterClick = list->currentRow();
        }
    });
    clicker.start(5);
    form->Process();
    QCOMPARE(rowAfterClick, 1);
}

void tst_DownloadForm::afterRun_data() {
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

void tst_DownloadForm::afterRun() {
    QFETCH(QByteArray, disconnect);
    QFETCH(QByteArray, shutdown);
    QFETCH(QStringList, calls);
    QFETCH(bool, logShown);
    if (!disconnect.isEmpty())
        setOption("disconnect", disconnect.constData());
    if (!shutdown.isEmpty())
        setOption("shutdown", shutdown.constData());
    server->route(QStringLiteral("/a.zip"), FakeResponse::ok(pattern(2000)));
    queue({{QStringLiteral("A"), QStringLiteral("/a.zip")}});
    LogWindowCloser closer;
    form->Process();

    QCOMPARE(env->actions.calls, calls);
    QCOMPARE(closer.texts.size(), logShown ? 1 : 0);
    QCOMPARE(env->programEnd.endCount(), 1);
    QCOMPARE(visibleWindows(), QStringList());
    QVERIFY(!form->tmrADS->isActive());
    QVERIFY(server->requests().contains(QStringLiteral("/ads.html")));
    QCOMPARE(TestFiles::readAll(env->workDir() + QStringLiteral("DOWNLOAD.LOG")),
             (form->DownloadLog + QStringLiteral("\r\n")).toLatin1());
    // The window's clip is the program's own, copied to the work folder for the run.
    QFile clip(QStringLiteral(":/movies/DLAVI"));
    QVERIFY(clip.open(QIODevice::ReadOnly));
    const QByteArray clipBytes = clip.readAll();
    QCOMPARE(TestFiles::readAll(env->workDir() + QStringLiteral("KAVRO.DRT")), clipBytes);
    QCOMPARE(TestFiles::readAll(QStringLiteral(KAVRO_SOURCE_DIR "/src/resources/download.avi")),
             clipBytes);
    const QString runOnce = env->settings->ReadSetting(
        RegistryRoot::CurrentUser, AppSettings::kRunOnceKey, QStringLiteral("Kavro"));
    const bool entry =
        QFile::exists(env->configHome() + QStringLiteral("autostart/kavro-runonce.desktop"));
    if (logShown) {
        QCOMPARE(runOnce, QString());
        QVERIFY(!entry);
    } else {
        QCOMPARE(runOnce, QStringLiteral(KAVRO_BIN_DIR "/kavro /showlog"));
        QVERIFY(entry);
    }
}

QTEST_MAIN(tst_DownloadForm)
#include "tst_DownloadForm.moc"
