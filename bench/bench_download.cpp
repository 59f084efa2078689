// bench_download: a 30 MB car through DownloadFile (window shown) against curl from the same
// loopback server. With --cuts: cars through a server that cuts half its answers at a random
// byte, with Range honoured, Range ignored, and 206 answers naming another ETag. See
// bench/README.md.
#include "FakeHttpServer.h"
#include "TestEnv.h"
#include "core/download/DownloadDisplay.h"
#include "core/download/DownloadWindowState.h"
#include "core/download/Downloader.h"
#include "core/download/HttpTransfer.h"
#include "gui/DownloadForm.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr qint64 kCarBytes = 30LL * 1024 * 1024;
constexpr int kRounds = 11; // alternating; the machine's noise is large at these speeds

double median(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

QByteArray sha1(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QCryptographicHash h(QCryptographicHash::Sha1);
    h.addData(&f);
    return h.result();
}

long peakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Cars of 100 KB to 2 MB through the downloader against a server that cuts each answer with a
// chance of one half at a random byte. The pauses between tries pass on the test clock (they
// are counted, not slept). Every car must arrive byte for byte.
int cuts(TestEnv& env) {
    constexpr int kCars = 40;
    env.useFixedClock();
    QThread serverThread;
    auto* server = new FakeHttpServer;
    server->moveToThread(&serverThread);
    QObject::connect(&serverThread, &QThread::finished, server, &QObject::deleteLater);
    serverThread.start();
    QMetaObject::invokeMethod(
        server, [&] { server->listen(); }, Qt::BlockingQueuedConnection);

    struct Mode {
        const char* name;
        FakeResponse::Range range;
        QByteArray partETag;
    };
    const Mode modes[] = {{"Range honoured", FakeResponse::Range::Honour, {}},
                          {"Range ignored", FakeResponse::Range::Ignore, {}},
                          {"206 with another ETag", FakeResponse::Range::Honour, "\"other\""}};
    HttpTransfer inet(&env.network);
    SilentDisplay display;
    DownloadWindowState state;
    Downloader downloader(env.ctx, inet, display, state);
    bool allGood = true;
    std::printf("bench_download --cuts: %d cars a mode, each answer cut with a chance of 1/2\n",
                kCars);
    for (const Mode& mode : modes) {
        int arrived = 0, requests = 0, resumed = 0;
        qint64 bytes = 0;
        const double waitedBefore = env.fixedClock.monotonicSeconds();
        QElapsedTimer t;
        t.start();
        for (int n = 1; n <= kCars; ++n) {
            QByteArray body(int(QRandomGenerator::global()->bounded(100 * 1024, 2 * 1024 * 1024)),
                            Qt::Uninitialized);
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(body.data()),
                                                  body.size() / 4);
            FakeResponse r = FakeResponse::ok(body);
            r.range = mode.range;
            r.partETag = mode.partETag;
            r.headers.append({"ETag", "\"car" + QByteArray::number(n) + '"'});
            r.cutChance = 0.5;
            const QString path = QStringLiteral("/car%1.zip").arg(n);
            QString url;
            QMetaObject::invokeMethod(
                server,
                [&] {
                    server->clearRequests();
                    server->route(path, r);
                    url = server->url(path);
                },
                Qt::BlockingQueuedConnection);
            const QString dest = env.workDir() + QStringLiteral("CAR1.ZIP");
            state.ErrorText.clear();
            const bool ok = downloader.DownloadFile(url, dest, QString(), QString());
            QFile f(dest);
            const bool same = ok && f.open(QIODevice::ReadOnly) && f.readAll() == body;
            f.close();
            arrived += same;
            allGood = allGood && same;
            if (!same)
                std::printf("  car %d failed: %s\n", n, qPrintable(state.ErrorText.simplified()));
            bytes += body.size();
            resumed += downloader.triesLine().startsWith(QLatin1String("Download resumed"));
            QMetaObject::invokeMethod(
                server, [&] { requests += server->requestCount(path); },
                Qt::BlockingQueuedConnection);
            QFile::remove(dest);
        }
        std::printf("  %-22s %d/%d cars byte-identical, %d requests (%.2f a car), %d resumed, "
                    "%.1f MB, %.2f s, pauses a player would wait %.0f s\n",
                    mode.name, arrived, kCars, requests, double(requests) / kCars, resumed,
                    double(bytes) / (1024.0 * 1024.0), double(t.nsecsElapsed()) / 1e9,
                    env.fixedClock.monotonicSeconds() - waitedBefore);
    }
    serverThread.quit();
    serverThread.wait();
    std::printf(allGood ? "ALL CARS ARRIVED WHOLE\n" : "FAILED: a car did not arrive whole\n");
    return allGood ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestEnv env;
    if (QCoreApplication::arguments().contains(QStringLiteral("--cuts")))
        return cuts(env);

    // The car: 30 MB of random bytes, written in 1 MB pieces.
    const QString car = env.root() + QStringLiteral("car.zip");
    {
        QFile f(car);
        if (!f.open(QIODevice::WriteOnly))
            return 2;
        QByteArray block(1 << 20, Qt::Uninitialized);
        for (qint64 done = 0; done < kCarBytes; done += block.size()) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(block.data()),
                                                  block.size() / 4);
            f.write(block);
        }
    }
    const QByteArray carHash = sha1(car);

    // The server runs in a thread of its own, so it never shares the downloader's event loop.
    QThread serverThread;
    auto* server = new FakeHttpServer;
    server->routeFile(QStringLiteral("/car.zip"), car);
    server->moveToThread(&serverThread);
    QObject::connect(&serverThread, &QThread::finished, server, &QObject::deleteLater);
    serverThread.start();
    QString url;
    QMetaObject::invokeMethod(
        server,
        [&] {
            server->listen();
            url = server->url(QStringLiteral("/car.zip"));
        },
        Qt::BlockingQueuedConnection);

    DownloadForm form(env.ctx);
    form.lstdl->addItem(QStringLiteral("Benchmark Car"));
    form.lstdl->setCurrentRow(0);
    QFile::copy(QStringLiteral(":/movies/DLAVI"), env.workDir() + QStringLiteral("KAVRO.DRT"));
    form.show();
    QApplication::processEvents();

    QList<double> ours, curlWall, curlOwn, ratios;
    bool allGood = true;
    for (int round = 0; round < kRounds; ++round) {
        const QString curlOut = env.root() + QStringLiteral("curl.bin");
        QProcess curl;
        QElapsedTimer t;
        t.start();
        curl.start(QStringLiteral("curl"),
                   {QStringLiteral("-s"), QStringLiteral("-o"), curlOut, QStringLiteral("-w"),
                    QStringLiteral("%{time_total}"), url});
        if (!curl.waitForFinished(120000) || curl.exitCode() != 0) {
            std::fprintf(stderr, "curl failed\n");
            allGood = false;
            break;
        }
        curlWall.append(double(t.nsecsElapsed()) / 1e9);
        curlOwn.append(QString::fromLatin1(curl.readAllStandardOutput()).toDouble());
        allGood = allGood && sha1(curlOut) == carHash;
        QFile::remove(curlOut);

        const QString dest = env.workDir() + QStringLiteral("CAR1.ZIP");
        form.ErrorText.clear();
        t.restart();
        const bool ok = form.DownloadFile(url, dest, QString(), QString());
        ours.append(double(t.nsecsElapsed()) / 1e9);
        allGood = allGood && ok && form.ErrorText.isEmpty() && sha1(dest) == carHash;
        ratios.append(curlOwn.last() / ours.last());
        QFile::remove(dest);
    }

    serverThread.quit();
    serverThread.wait();
    if (!allGood || ours.isEmpty()) {
        std::printf("FAILED: a download did not arrive whole\n");
        return 1;
    }

    const double mb = double(kCarBytes) / (1024.0 * 1024.0);
    const double oursS = median(ours);
    const double curlS = median(curlOwn);
    const double curlWallS = median(curlWall);
    // Our throughput as a share of curl's, round by round (each pair ran back to back).
    const double ratio = median(ratios);
    const double peakMiB = double(peakKiB()) / 1024.0;
    std::printf("bench_download: %.0f MB car, median of %d rounds, loopback server in its own "
                "thread\n",
                mb, int(ours.size()));
    std::printf("  DownloadFile (window shown): %.3f s  %.1f MB/s\n", oursS, mb / oursS);
    std::printf("  curl -o (own time_total):    %.3f s  %.1f MB/s  (wall with start-up %.3f s)\n",
                curlS, mb / curlS, curlWallS);
    std::printf("  throughput ratio (median of the rounds' ratios): %.2f of curl (target >= 0.95) "
                "%s\n",
                ratio, ratio >= 0.95 ? "MET" : "NOT MET");
    const double bestOurs = *std::min_element(ours.begin(), ours.end());
    const double bestCurl = *std::min_element(curlOwn.begin(), curlOwn.end());
    std::printf("  fastest runs: DownloadFile %.3f s, curl %.3f s, ratio %.2f (steadier on a "
                "loaded machine)\n",
                bestOurs, bestCurl, bestCurl / bestOurs);
    std::printf("  peak memory: %.1f MiB (target < 100 MiB) %s\n", peakMiB,
                peakMiB < 100 ? "MET" : "NOT MET");
    return 0;
}
