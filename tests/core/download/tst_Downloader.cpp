// One car's download against a loopback server: statuses, error texts, files, chunks, progress.
#include "FakeHttpServer.h"
#include "TestEnv.h"
#include "TestFiles.h"
#include "core/download/DownloadDisplay.h"
#include "core/download/DownloadWindowState.h"
#include "core/download/Downloader.h"
#include "core/download/HttpTransfer.h"

#include <QSslConfiguration>
#include <QTcpServer>
#include <QtTest>

namespace {

class RecordingDisplay : public DownloadDisplay {
public:
    void setStatus(const QString& t) override { statuses << t; }
    void setStatus2(const QString& t) override { statuses2 << t; }
    void openClip(const QString& path) override { clips << path; }
    void playClip() override { ++plays; }
    void showProgress(const DownloadProgress& p) override {
        lines << p.percentageLine(QStringLiteral("Example GT"));
        blocks << p.timeSizeRateText();
        if (onProgress)
            onProgress();
    }
    QStringList statuses, statuses2, clips, lines, blocks;
    int plays = 0;
    std::function<void()> onProgress;
};

QByteArray pattern(qint64 n) {
    QByteArray b(n, Qt::Uninitialized);
    for (qint64 i = 0; i < n; ++i)
        b[i] = char((i * 7 + i / 1024) & 0xFF);
    return b;
}

FakeResponse slow(const QByteArray& body, int chunk, int delayMs) {
    FakeResponse r = FakeResponse::ok(body);
    r.chunkSize = chunk;
    r.chunkDelayMs = delayMs;
    return r;
}

const QString kCrLf = QStringLiteral("\r\n");

} // namespace

class tst_Downloader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void twoChunksOneUpdate();
    void failures_data();
    void failures();
    void progressCountsWholeKB();
    void cutBodyLeavesNothing();
    void noResponseAtAll_data();
    void noResponseAtAll();
    void malformedAddress();
    void unwritableDestination();
    void bodyPast32MBCompletes();
    void cancelDuringBodyDeletesFile();
    void programEndStopsAtOnce();
    void silentServerTimesOut();
    void fullBufferIsNotSilence();
    void answerLeftWhileItsErrorIsOnItsWay();
    void untrustedCertificateFails();
    void retries_data();
    void retries();

private:
    bool run(const QString& path, const QString& destination = QString());

    std::unique_ptr<TestEnv> env;
    std::unique_ptr<FakeHttpServer> server;
    std::unique_ptr<HttpTransfer> inet;
    std::unique_ptr<RecordingDisplay> display;
    std::unique_ptr<DownloadWindowState> state;
    std::unique_ptr<Downloader> downloader;
    QString dest;
};

void tst_Downloader::init() {
    // Qt's report of a reply finished or aborted twice is a fault of ours.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("must only be called once")));
    env = std::make_unique<TestEnv>();
    env->useFixedClock();
    server = std::make_unique<FakeHttpServer>();
    QVERIFY(server->listen());
    inet = std::make_unique<HttpTransfer>(&env->network);
    inet->setTimeout(3000); // and with it the pause before a broken transfer is tried again
    display = std::make_unique<RecordingDisplay>();
    state = std::make_unique<DownloadWindowState>();
    downloader = std::make_unique<Downloader>(env->ctx, *inet, *display, *state);
    dest = env->workDir() + QStringLiteral("CAR1.ZIP");
}

void tst_Downloader::cleanup() {
    downloader.reset();
    inet.reset();
    server.reset();
    env.reset();
}

bool tst_Downloader::run(const QString& path, const QString& destination) {
    return downloader->DownloadFile(server->url(path), destination.isEmpty() ? dest : destination,
                                    QString(), QString());
}

void tst_Downloader::twoChunksOneUpdate() {
    const QByteArray body = pattern(2000);
    server->route(QStringLiteral("/a.zip"), slow(body, 1024, 30));
    QVERIFY(run(QStringLiteral("/a.zip")));

    QCOMPARE(display->lines, QStringList{QStringLiteral("50% of Example GT Downloaded")});
    QCOMPARE(display->blocks,
             QStringList{QStringLiteral("Estimated Time Left: 0 sec (1.0 KB of 2.0 KB copied)\r\r"
                                        "Transfer Rate: 0.0 KB/Sec")});
    QCOMPARE(display->statuses, (QStringList{QStringLiteral("Downloading... "),
                                             QStringLiteral("Download completed!")}));
    QCOMPARE(display->statuses2,
             (QStringList{QStringLiteral("Getting file information..."), QString()}));
    QCOMPARE(display->clips, QStringList{env->workDir() + QStringLiteral("KAVRO.DRT")});
    QCOMPARE(display->plays, 1);
    QCOMPARE(state->ErrorText, QString());
    QVERIFY(state->TransferEnded);
    QVERIFY(!state->CancelRequested);
    QFile f(dest);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), body);
}

void tst_Downloader::failures_data() {
    QTest::addColumn<FakeResponse>("response");
    QTest::addColumn<QString>("errors"); // "%URL%" stands for the requested address
    QTest::newRow("404") << FakeResponse::status("HTTP/1.1 404 Not Found")
                         << "The file, \"%URL%\" was not found!\r\nDownload failed!\r\n";
    QTest::newRow("401") << FakeResponse::status("HTTP/1.1 401 Unauthorized")
                         << "Authorization failed!\r\nDownload failed!\r\n";
    QTest::newRow("500 with its status line")
        << FakeResponse::status("HTTP/1.1 500 Internal Server Error")
        << "The server returned the following response:\r\n\r\n"
           "HTTP/1.1 500 Internal Server Error\r\r\nDownload failed!\r\n";
    QTest::newRow("300 bytes are 0 KB") << FakeResponse::ok(pattern(300)) << "Download failed!\r\n";
    QTest::newRow("512 bytes are 0 KB") << FakeResponse::ok(pattern(512)) << "Download failed!\r\n";
    FakeResponse noLength = FakeResponse::ok(pattern(5000));
    noLength.sendContentLength = false;
    QTest::newRow("no Content-Length") << noLength << "Download failed!\r\n";
    // Refused before a byte is written (the test's disk has 150 MiB free).
    FakeResponse huge = FakeResponse::ok(pattern(5000));
    huge.contentLength = qint64(4) << 30;
    QTest::newRow("4 GiB car") << huge
                               << "The car is too large: 4.0 GB announced, at most 512.0 MB can "
                                  "be unpacked.\r\nDownload failed!\r\n";
    huge.contentLength = 100 << 20;
    QTest::newRow("past the free space less its margin")
        << huge
        << "Not enough free disk space for the car: 100.0 MB announced, 150.0 MB free in "
           "%DIR% (64.0 MB must stay free).\r\nDownload failed!\r\n";
}

void tst_Downloader::failures() {
    QFETCH(FakeResponse, response);
    QFETCH(QString, errors);
    downloader->freeSpace = [](const QString&) { return qint64(150) << 20; };
    server->route(QStringLiteral("/car.zip"), response);
    QVERIFY(!run(QStringLiteral("/car.zip")));
    errors.replace(QStringLiteral("%DIR%"), QFileInfo(dest).absolutePath());
    QCOMPARE(state->ErrorText,
             errors.replace(QStringLiteral("%URL%"), server->url(QStringLiteral("/car.zip"))));
    QVERIFY(!QFile::exists(dest));
    QCOMPARE(display->statuses.last(), QStringLiteral("Download failed!"));
    QVERIFY(display->lines.isEmpty());
    QCOMPARE(display->plays, 0);
    QVERIFY(state->TransferEnded);
}

void tst_Downloader::progressCountsWholeKB() {
    // 10,000 bytes arriving in pieces of 700: each read takes what has arrived, and the progress
    // moves by whole KB received (bytes / 1024), about once a KB on a link this slow.
    server->route(QStringLiteral("/c.zip"), slow(pattern(10000), 700, 5));
    QVERIFY(run(QStringLiteral("/c.zip")));
    QVERIFY2(display->lines.size() >= 5, qPrintable(display->lines.join(u'|')));
    QCOMPARE(display->lines.last(), QStringLiteral("90% of Example GT Downloaded"));
    QVERIFY2(display->blocks.last().contains(QStringLiteral("(9.0 KB of 10.0 KB copied)")),
             qPrintable(display->blocks.last()));
    QCOMPARE(QFileInfo(dest).size(), qint64(10000));
}

void tst_Downloader::cutBodyLeavesNothing() {
    FakeResponse r = slow(pattern(8000), 1000, 10);
    r.dropAfterBytes = 5000;
    server->route(QStringLiteral("/cut.zip"), r);
    QVERIFY(!run(QStringLiteral("/cut.zip")));
    // Every try brought 5000 bytes again: tried as often as a transfer may be.
    QCOMPARE(server->requestCount(QStringLiteral("/cut.zip")), Downloader::kMaxTries);
    QCOMPARE(state->ErrorText, QStringLiteral("Download stopped: the connection broke 20 times\r\n"
                                              "Download failed!\r\n"));
    QVERIFY(!QFile::exists(dest));
    QCOMPARE(display->statuses.last(), QStringLiteral("Download failed!"));
    QVERIFY(!display->lines.isEmpty()); // it got under way before the cut

    // A length that promises more than is ever sent fails the same way.
    FakeResponse lie = FakeResponse::ok(pattern(3000));
    lie.contentLength = 6000;
    server->route(QStringLiteral("/lie.zip"), lie);
    state->ErrorText.clear();
    QVERIFY(!run(QStringLiteral("/lie.zip")));
    QCOMPARE(state->ErrorText, QStringLiteral("Download stopped: the connection broke 20 times\r\n"
                                              "Download failed!\r\n"));
    QVERIFY(!QFile::exists(dest));
}

void tst_Downloader::noResponseAtAll_data() {
    QTest::addColumn<bool>("refused");
    QTest::newRow("connection refused") << true;
    QTest::newRow("closed without a status line") << false;
}

void tst_Downloader::noResponseAtAll() {
    QFETCH(bool, refused);
    QString url;
    if (refused) {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        url = QStringLiteral("http://127.0.0.1:%1/car.zip").arg(probe.serverPort());
        probe.close();
    } else {
        FakeResponse r;
        r.dropWithoutResponse = true;
        server->route(QStringLiteral("/car.zip"), r);
        url = server->url(QStringLiteral("/car.zip"));
    }
    QVERIFY(!downloader->DownloadFile(url, dest, QString(), QString()));
    QCOMPARE(state->ErrorText, QStringLiteral("Cannot establish connection.\r\r\n"
                                              "Check your Internet connection and try again.\r\n"
                                              "Download failed!\r\n"));
    QVERIFY(!QFile::exists(dest));
}

void tst_Downloader::malformedAddress() {
    // Starting the request fails: the connection failure cancels the attempt, so the empty
    // header's message follows and no "Download failed!" is added.
    QVERIFY(
        !downloader->DownloadFile(QStringLiteral("not an address"), dest, QString(), QString()));
    QCOMPARE(state->ErrorText, QStringLiteral("Error: URL is malformed occurred.\r\n"
                                              "The server returned the following response:\r\n"
                                              "\r\n\r\n"));
    QVERIFY(state->CancelRequested);
    QVERIFY(state->TransferEnded);
    QVERIFY(!display->statuses.contains(QStringLiteral("Download failed!")));
}

void tst_Downloader::unwritableDestination() {
    // The file cannot be opened: the message for the open and for the first append, silence
    // once the progress display is under way, and the attempt does not count as complete.
    server->route(QStringLiteral("/w.zip"), FakeResponse::ok(pattern(5000)));
    const QString bad = env->workDir() + QStringLiteral("missing/CAR1.ZIP");
    QVERIFY(!run(QStringLiteral("/w.zip"), bad));
    QCOMPARE(state->ErrorText, QStringLiteral("Cannot write file to disk!\r\n"
                                              "Cannot write file to disk!\r\n"
                                              "Download failed!\r\n"));
    QVERIFY(!QFile::exists(bad));
    QVERIFY(!display->lines.isEmpty()); // the body was still read to its end
}

void tst_Downloader::bodyPast32MBCompletes() {
    const qint64 size = 33553920 + 46080; // past what a 16-bit KB count could hold
    const QString source = env->root() + QStringLiteral("big.bin");
    {
        QFile f(source);
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray block = pattern(1 << 20);
        for (qint64 left = size; left > 0; left -= block.size())
            f.write(block.left(qMin<qint64>(left, block.size())));
    }
    server->routeFile(QStringLiteral("/big.zip"), source);
    QVERIFY(run(QStringLiteral("/big.zip")));
    QCOMPARE(state->ErrorText, QString());
    QCOMPARE(QFileInfo(dest).size(), size);
    // Reads of up to 64 KiB bring the last update within 0.2% of the end.
    QCOMPARE(display->lines.last(), QStringLiteral("100% of Example GT Downloaded"));
    QVERIFY2(display->blocks.last().contains(QStringLiteral(" of 32.04 MB copied)")),
             qPrintable(display->blocks.last()));
}

void tst_Downloader::cancelDuringBodyDeletesFile() {
    server->route(QStringLiteral("/s.zip"), slow(pattern(20000), 1024, 20));
    display->onProgress = [this] {
        if (display->lines.size() == 3)
            state->CancelRequested = true;
    };
    QVERIFY(!run(QStringLiteral("/s.zip")));
    QVERIFY(!QFile::exists(dest));
    QCOMPARE(state->ErrorText, QString()); // a cancel is not a failure
    QVERIFY(!display->statuses.contains(QStringLiteral("Download failed!")));
    QCOMPARE(display->lines.size(), 3);
    QVERIFY(state->TransferEnded);
}

void tst_Downloader::programEndStopsAtOnce() {
    server->route(QStringLiteral("/s.zip"), slow(pattern(20000), 1024, 20));
    display->onProgress = [this] {
        if (display->lines.size() == 2)
            env->programEnd.EndProgram();
    };
    QVERIFY(!run(QStringLiteral("/s.zip")));
    // Nothing after the end: no outcome, the partial file stays for the next start to clear.
    QVERIFY(QFile::exists(dest));
    QCOMPARE(display->statuses.last(), QStringLiteral("Downloading... "));
    QVERIFY(!state->TransferEnded);
    QCOMPARE(display->lines.size(), 2);
}

void tst_Downloader::silentServerTimesOut() {
    inet->setTimeout(300);
    // Silent before any answer: no response at all.
    QTcpServer mute;
    QVERIFY(mute.listen(QHostAddress::LocalHost, 0));
    const QString url = QStringLiteral("http://127.0.0.1:%1/car.zip").arg(mute.serverPort());
    QVERIFY(!downloader->DownloadFile(url, dest, QString(), QString()));
    QCOMPARE(state->ErrorText, QStringLiteral("Cannot establish connection.\r\r\n"
                                              "Check your Internet connection and try again.\r\n"
                                              "Download failed!\r\n"));
    // Silent in the middle of the body, then silent from the start: the partial file goes.
    state->ErrorText.clear();
    FakeResponse stall = slow(pattern(8000), 3000, 600000);
    stall.cuts = {3000, 0, 0, 0};
    stall.stallAtDrop = true;
    server->route(QStringLiteral("/stall.zip"), stall);
    QVERIFY(!run(QStringLiteral("/stall.zip")));
    QCOMPARE(state->ErrorText, QStringLiteral("Download stopped: no data for 0.3 s\r\n"
                                              "Download failed!\r\n"));
    QVERIFY(!QFile::exists(dest));
}

void tst_Downloader::fullBufferIsNotSilence() {
    // While nobody reads (a box is open), the server stops because the read buffer is full:
    // that is no reason to give up on it.
    const QByteArray body = pattern(2 * HttpTransfer::kReadBufferSize);
    server->route(QStringLiteral("/big.zip"), FakeResponse::ok(body));
    inet->setTimeout(200);
    inet->setURL(server->url(QStringLiteral("/big.zip")));
    QVERIFY(inet->Execute());
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < 800)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QByteArray received;
    for (QByteArray c = inet->GetChunk(1024); !c.isEmpty(); c = inet->GetChunk(1024))
        received += c;
    QCOMPARE(received.size(), body.size());
    QVERIFY(received == body);
    QCOMPARE(inet->ResponseCode(), 0);
}

void tst_Downloader::answerLeftWhileItsErrorIsOnItsWay() {
    // The header of a 404 has been seen; its body and its error arrive while the program is
    // busy. Letting go of the reply then must not report a second error for it.
    FakeResponse gone = slow(QByteArray("abc"), 1, 100);
    gone.statusLine = "HTTP/1.1 404 Not Found";
    server->route(QStringLiteral("/gone.zip"), gone);
    inet->setURL(server->url(QStringLiteral("/gone.zip")));
    QVERIFY(inet->Execute());
    QTRY_VERIFY(!inet->StillExecuting());
    QTest::qSleep(500); // busy: the rest is queued meanwhile
    inet->Cancel();
    QTest::qWait(200);
    QCOMPARE(inet->GetHeader(), QString());
}

void tst_Downloader::untrustedCertificateFails() {
    QString why;
    const QSslConfiguration tls = FakeHttpServer::selfSignedTls(env->root(), &why);
    if (tls.isNull())
        QSKIP(qPrintable(why));
    FakeHttpServer secure;
    QVERIFY(secure.listenTls(tls));
    secure.route(QStringLiteral("/car.zip"), FakeResponse::ok(pattern(5000)));
    QVERIFY(!downloader->DownloadFile(secure.url(QStringLiteral("/car.zip")), dest, QString(),
                                      QString()));
    QVERIFY2(state->ErrorText.startsWith(
                 QStringLiteral("Cannot establish a secure connection.\r\r\n"
                                "The server's certificate could not be verified: ")),
             qPrintable(state->ErrorText));
    QVERIFY(state->ErrorText.endsWith(QStringLiteral(".\r\nDownload failed!\r\n")));
    QVERIFY(!QFile::exists(dest));
    QCOMPARE(secure.requests(), QStringList()); // no request was ever sent over it
}

// A transfer that breaks off: which request each try sends, what its answer does to the file,
// the log line of a car that came through, the last reason of one that did not, and the pauses
// (on the test's clock) before the tries. The car's 8000 bytes are cut as `cuts` says.
void tst_Downloader::retries_data() {
    QTest::addColumn<FakeResponse>("response");
    QTest::addColumn<QString>("ranges"); // Range | If-Range of each request ("D": 3200)
    QTest::addColumn<QString>("line");   // R: resumed, S: started again, E: the errors
    QTest::addColumn<QString>("errors");
    QTest::addColumn<int>("waited"); // seconds of pauses
    QTest::addColumn<int>("tries");
    QTest::addColumn<qint64>("freeLater"); // free bytes after the first try (-1: plenty)
    using R = FakeResponse::Range;
    const auto car = [](R range, const QByteArray& validator, QList<qint64> cuts) {
        FakeResponse r = slow(pattern(8000), 800, 1);
        r.range = range;
        if (validator.startsWith("\"") || validator.startsWith("W/"))
            r.headers.append({"ETag", validator});
        else if (!validator.isEmpty())
            r.headers.append({"Last-Modified", validator});
        r.cuts = std::move(cuts);
        return r;
    };
    const QByteArray date = "Wed, 30 Aug 2000 21:05:31 GMT";
    QTest::newRow("ETag matches: appended")
        << car(R::Honour, "\"v1\"", {3200}) << ";|bytes=D-;\"v1\""
        << "R"
        << "" << 2 << 2 << qint64(-1);
    QTest::newRow("Last-Modified matches: appended")
        << car(R::Honour, date, {3200}) << QStringLiteral(";|bytes=D-;") + QString::fromLatin1(date)
        << "R"
        << "" << 2 << 2 << qint64(-1);
    FakeResponse other = car(R::Honour, "\"v1\"", {3200});
    other.partETag = "\"v2\"";
    QTest::newRow("206 with another ETag: again from 0") << other << ";|bytes=D-;\"v1\"|;"
                                                         << "S"
                                                         << "" << 2 << 2 << qint64(-1);
    QTest::newRow("Content-Range elsewhere: again from 0")
        << car(R::Wrong, "\"v1\"", {3200}) << ";|bytes=D-;\"v1\"|;"
        << "S"
        << "" << 2 << 2 << qint64(-1);
    QTest::newRow("no validator: whole body asked for") << car(R::Honour, "", {3200}) << ";|;"
                                                        << "S"
                                                        << "" << 2 << 2 << qint64(-1);
    QTest::newRow("weak ETag: whole body asked for") << car(R::Honour, "W/\"v1\"", {3200}) << ";|;"
                                                     << "S"
                                                     << "" << 2 << 2 << qint64(-1);
    QTest::newRow("Range ignored: 200 from 0")
        << car(R::Ignore, "\"v1\"", {3200}) << ";|bytes=D-;\"v1\""
        << "S"
        << "" << 2 << 2 << qint64(-1);
    // Tries that bring nothing count only in a row: progress starts the count again. (A server
    // that goes silent: one that closes before its answer has Qt send the request again.)
    FakeResponse silent = car(R::Honour, "\"v1\"", {3200, 0, 0, 2000, 0, 0});
    silent.stallAtDrop = true;
    QTest::newRow("empty tries between bytes")
        << silent
        << ";|bytes=D-;\"v1\"|bytes=D-;\"v1\"|bytes=D-;\"v1\"|bytes=5200-;\"v1\"|"
           "bytes=5200-;\"v1\"|bytes=5200-;\"v1\""
        << "R"
        << "" << 2 + 4 + 8 + 16 + 30 + 30 << 7 << qint64(-1);
    silent.cuts = {3200, 0, 0, 0};
    QTest::newRow("three empty tries in a row end it")
        << silent << ";|bytes=D-;\"v1\"|bytes=D-;\"v1\"|bytes=D-;\"v1\""
        << "E"
        << "Download stopped: no data for 0.3 s\r\nDownload failed!\r\n"
        << 2 + 4 + 8 << 4 << qint64(-1);
    QList<qint64> always(Downloader::kMaxTries + 1, 3200);
    QString twenty = QStringLiteral(";");
    for (int i = 1; i < Downloader::kMaxTries; ++i)
        twenty += QStringLiteral("|;");
    QTest::newRow("bytes every try: 20 tries at most")
        << car(R::Ignore, "", always) << twenty << "E"
        << "Download stopped: the connection broke 20 times\r\nDownload failed!\r\n"
        << 2 + 4 + 8 + 16 + 30 * 15 << 20 << qint64(-1);
    FakeResponse error = car(R::Honour, "\"v1\"", {3200});
    error.laterStatusLine = "HTTP/1.1 503 Service Unavailable";
    QTest::newRow("HTTP error on a retry: not tried again")
        << error << ";|bytes=D-;\"v1\""
        << "E"
        << "The server returned the following response:\r\n\r\n"
           "HTTP/1.1 503 Service Unavailable\r\r\nDownload failed!\r\n"
        << 2 << 2 << qint64(-1);
    // The car's bounds hold for the rest a later try brings.
    QTest::newRow("a disk filled meanwhile stops the rest")
        << car(R::Honour, "\"v1\"", {3200}) << ";|bytes=D-;\"v1\""
        << "E"
        << "Not enough free disk space for the car: 7.8 KB announced, 0 bytes free in %DIR% "
           "(64.0 MB must stay free).\r\nDownload failed!\r\n"
        << 2 << 2 << qint64(0);
}

void tst_Downloader::retries() {
    QFETCH(FakeResponse, response);
    QFETCH(QString, ranges);
    QFETCH(QString, line);
    QFETCH(QString, errors);
    QFETCH(int, waited);
    QFETCH(int, tries);
    QFETCH(qint64, freeLater);
    inet->setTimeout(300);
    int asked = 0;
    downloader->freeSpace = [&](const QString&) {
        return asked++ == 0 || freeLater < 0 ? qint64(1) << 40 : freeLater;
    };
    server->route(QStringLiteral("/car.zip"), response);
    const double before = env->fixedClock.monotonicSeconds();
    const bool ok = run(QStringLiteral("/car.zip"));

    QStringList sent;
    for (int i = 0; i < server->ranges().size(); ++i)
        sent << server->ranges().at(i) + u';' + server->ifRanges().at(i);
    QCOMPARE(sent.join(u'|'), ranges.replace(u'D', QStringLiteral("3200")));
    QCOMPARE(ok, line != QLatin1String("E"));
    QCOMPARE(downloader->triesLine(), line == QLatin1String("R") ? Downloader::resumedLine(tries)
                                      : line == QLatin1String("S")
                                          ? Downloader::restartedLine(tries)
                                          : QString());
    QCOMPARE(state->ErrorText,
             errors.replace(QStringLiteral("%DIR%"), QFileInfo(dest).absolutePath()));
    QCOMPARE(TestFiles::readAll(dest), ok ? pattern(8000) : QByteArray());
    QCOMPARE(env->fixedClock.monotonicSeconds() - before, double(waited));
}

QTEST_GUILESS_MAIN(tst_Downloader)
#include "tst_Downloader.moc"
