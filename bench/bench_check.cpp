// Checking a published catalogue of 50 cars with one kavro-cars check command on a loopback
// server: the catalogue fetched and read, then every car's screenshot and ZIP (about 1 MB each)
// fetched, and every ZIP unpacked and judged as an install judges it, four cars at a time. The
// catalogue is made by kavro-cars catalogue. Prints the time of each round. Target: under 5 s.
// Then checks a catalogue of 50,000 entries whose ZIPs the server does not have (every one
// answers 404): the check must end without a crash, naming every entry, with a peak memory of
// the check process under 100 MiB (measured by GNU time, /usr/bin/time).
//
// Run: build/bin/bench_check [rounds] [entries]   (defaults 3 and 50000; needs build/bin/kavro-cars
//      and kavro-unzip)
#include "FakeHttpServer.h"
#include "PictureBytes.h"
#include "TestEnv.h"
#include "TestFiles.h"
#include "VivBuilder.h"
#include "ZipBuilder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kCars = 50;
constexpr double kTargetSeconds = 5.0;
constexpr double kTargetMiB = 100.0;

QByteArray noise(QRandomGenerator& rng, qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    rng.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// Runs kavro-cars to its end while the server of this thread answers; the exit status, or -1.
int runServing(const QStringList& args, QString* output = nullptr, int timeoutMs = 120000,
               const QString& program = QStringLiteral(KAVRO_BIN_DIR "/kavro-cars")) {
    QProcess p;
    p.start(program, args);
    QDeadlineTimer deadline(timeoutMs);
    while (p.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        p.waitForFinished(1);
    }
    if (output)
        *output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return p.state() == QProcess::NotRunning ? p.exitCode() : -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const int entries = argc > 2 ? std::max(1000, atoi(argv[2])) : 50000;
    if (!QFileInfo::exists(QStringLiteral(KAVRO_BIN_DIR "/kavro-cars")) ||
        !QFileInfo::exists(QStringLiteral(KAVRO_BIN_DIR "/kavro-unzip"))) {
        std::fprintf(stderr, "bench_check: build kavro-cars and kavro-unzip first\n");
        return 1;
    }
    TestEnv env;
    QRandomGenerator rng(20001208);
    const QString site = env.root() + QStringLiteral("site/");
    QDir().mkpath(site);
    const QByteArray picture = PictureBytes::encode(PictureBytes::quadrants(640, 480), "png");
    for (int n = 1; n <= kCars; ++n) {
        QList<VivBuilder::Entry> entries = VivBuilder::carEntries(quint8(n));
        entries.append({"car.bin", noise(rng, 900 * 1024)});
        ZipBuilder()
            .add("CAR.VIV", VivBuilder::build(entries))
            .add("shot.png", picture)
            .write(site + QStringLiteral("car%1.zip").arg(n, 2, 10, QChar(u'0')));
    }

    FakeHttpServer server;
    if (!server.listen())
        return 1;
    QString output;
    if (runServing({QStringLiteral("catalogue"), site}, &output) != 0) {
        std::fprintf(stderr, "bench_check: the catalogue was not made:\n%s", qPrintable(output));
        return 1;
    }
    for (const QString& file : TestFiles::filesBelow(site))
        if (QFileInfo(site + file).isFile())
            server.routeFile(QStringLiteral("/") + file, site + file);

    double worst = 0;
    for (int round = 1; round <= rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const int status = runServing(
            {QStringLiteral("check"), server.url(QStringLiteral("/Kavro_CL.dat"))}, &output);
        const double seconds = timer.elapsed() / 1000.0;
        if (status != 0) {
            std::fprintf(stderr, "bench_check: the check failed:\n%s", qPrintable(output));
            return 1;
        }
        worst = std::max(worst, seconds);
        std::printf("round %d: %d cars checked in %.2f s\n", round, kCars, seconds);
    }
    std::printf("slowest round %.2f s, target under %.1f s: %s\n", worst, kTargetSeconds,
                worst < kTargetSeconds ? "met" : "NOT met");

    // A catalogue of many entries: names and authors of a usual length, an announcement every
    // thousand, every ZIP missing on the server.
    QByteArray big = "?CL1\r\n";
    for (int n = 1; n <= entries; ++n) {
        const QByteArray number = QByteArray::number(n);
        big += "Hypothetical Roadster " + number +
               " Competition Edition\r\nA. Careful Author\r\n"
               "shots/none.jpg\r\n" +
               (n % 1000 == 0 ? QByteArray() : "missing/roadster-" + number + ".zip") + "\r\n";
    }
    server.route(QStringLiteral("/big.dat"), FakeResponse::ok(big));
    server.route(QStringLiteral("/shots/none.jpg"), FakeResponse::status("HTTP/1.1 404 Not Found"));
    QElapsedTimer timer;
    timer.start();
    // The check's own peak (GNU time's maximum resident set size, in KiB).
    const QString peakFile = env.root() + QStringLiteral("peak.txt");
    const int status = runServing({QStringLiteral("-f"), QStringLiteral("%M"), QStringLiteral("-o"),
                                   peakFile, QStringLiteral(KAVRO_BIN_DIR "/kavro-cars"),
                                   QStringLiteral("check"), server.url(QStringLiteral("/big.dat"))},
                                  &output, 3600 * 1000, QStringLiteral("/usr/bin/time"));
    const double seconds = timer.elapsed() / 1000.0;
    const double peakMiB =
        TestFiles::readAll(peakFile).trimmed().split('\n').last().toDouble() / 1024.0;
    const QString expected =
        QStringLiteral("%1 cars checked: 0 OK, %1 wrong; %2 announcements (%2 wrong)")
            .arg(entries - entries / 1000)
            .arg(entries / 1000);
    const bool whole = status == 1 && output.contains(expected);
    std::printf("%d entries checked in %.1f s (%s), peak memory of the check %.1f MiB, target "
                "under %.0f MiB: %s\n",
                entries, seconds, whole ? "every entry named" : "NOT every entry named", peakMiB,
                kTargetMiB, peakMiB < kTargetMiB ? "met" : "NOT met");
    if (!whole)
        std::fprintf(stderr, "bench_check: exit status %d, last output:\n%s\n", status,
                     qPrintable(output.right(2000)));
    return worst < kTargetSeconds && whole && peakMiB < kTargetMiB ? 0 : 1;
}
