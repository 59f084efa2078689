// bench_download: a 30 MB car through DownloadFile (window shown) against curl from the same
// loopback server. See bench/README.md.
#include "FakeHttpServer.h"
#include "TestEnv.h"
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

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestEnv env;

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
