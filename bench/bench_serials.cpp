// Times the installed-car scan and the serial rewrite. See bench/README.md.
//
//   build/bin/bench_serials [folder]   (default: a temporary folder under TMPDIR)
//
// 1. 50 installed cars with 2 MB archives: ScanCarSerials, warm (after one untimed run).
//    Target: under 20 ms.
// 2. SetCarSerial on a 5 MB archive against "cp" of the same file. Target: within 3x.
#include "VivBuilder.h"
#include "core/gamedata/CarSerials.h"
#include "core/session/Session.h"
#include "platform/MessageBoxService.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

class SilentPrompts : public MessageBoxService {
public:
    int shown = 0;
    Answer show(const QString&, const QString&, int) override {
        ++shown;
        return Ok;
    }
};

double medianMs(QList<qint64> ns) {
    std::sort(ns.begin(), ns.end());
    return double(ns[ns.size() / 2]) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : tmp.path();
    Session session;
    session.GamePath = root + QStringLiteral("/game/");
    session.SessionPaths[Session::WorkDir] = root + QStringLiteral("/temp/Kavro/");
    QDir(root + QStringLiteral("/game/Data/Cars")).removeRecursively();

    // 1. The scan.
    constexpr int kCars = 50;
    constexpr qint64 kScanArchive = 2 * 1024 * 1024;
    for (int i = 0; i < kCars; ++i) {
        const QString id =
            QString(QChar(u'A' + i / 26)) + QChar(u'A' + i % 26) + QStringLiteral("CA");
        VivBuilder::installCar(session.GamePath, id,
                               VivBuilder::carArchive(quint8(1 + i), id.toLatin1(), kScanArchive));
    }
    SilentPrompts prompts;
    ScanCarSerials(session, prompts); // warms the caches
    if (session.installedCount() != kCars || prompts.shown != 0) {
        std::fprintf(stderr, "scan found %d cars, %d boxes\n", session.installedCount(),
                     prompts.shown);
        return 1;
    }
    QList<qint64> scans;
    for (int run = 0; run < 21; ++run) {
        QElapsedTimer t;
        t.start();
        ScanCarSerials(session, prompts);
        scans.append(t.nsecsElapsed());
    }
    const double scanMs = medianMs(scans);
    std::printf(
        "ScanCarSerials, %d cars of 2 MB, warm: %.3f ms (median of %lld; target < 20 ms) %s\n",
        kCars, scanMs, qint64(scans.size()), scanMs < 20 ? "OK" : "MISSED");

    // 2. The rewrite against a copy.
    constexpr qint64 kBigArchive = 5 * 1024 * 1024;
    const QString car = VivBuilder::installCar(session.GamePath, QStringLiteral("BIGC"),
                                               VivBuilder::carArchive(7, "BIGC", kBigArchive));
    const QString copy = root + QStringLiteral("/copy.viv");
    QList<qint64> rewrites, copies;
    for (int run = 0; run < 11; ++run) {
        QElapsedTimer t;
        t.start();
        QString error;
        if (!SetCarSerial(session, car, quint8(1 + run % 50), QString(), &error)) {
            std::fprintf(stderr, "SetCarSerial failed: %s\n", qPrintable(error));
            return 1;
        }
        rewrites.append(t.nsecsElapsed());

        QFile::remove(copy);
        t.restart();
        if (QProcess::execute(QStringLiteral("cp"), {car, copy}) != 0) {
            std::fprintf(stderr, "cp failed\n");
            return 1;
        }
        copies.append(t.nsecsElapsed());
    }
    const double rewriteMs = medianMs(rewrites);
    const double copyMs = medianMs(copies);
    const double ratio = rewriteMs / copyMs;
    std::printf(
        "SetCarSerial, 5 MB archive: %.3f ms; cp of the same file: %.3f ms (medians of %lld)\n",
        rewriteMs, copyMs, qint64(rewrites.size()));
    std::printf("ratio rewrite / cp: %.2f (target within 3x) %s\n", ratio,
                ratio <= 3.0 ? "OK" : "MISSED");
    return 0;
}
