// Installing 20 car ZIPs of about 3 MB each with one kavro-cars command, into a game with 10
// installed cars: the whole command as a player runs it (the tool's start, the settings store,
// the scan, every car's extractor, copies, serial check, rescan and log). Prints the total and the
// time per car of each round. Target: under 100 ms per car.
//
// Run: build/bin/bench_cars [rounds]   (default 3; needs build/bin/kavro-cars and kavro-unzip)
#include "TestEnv.h"
#include "VivBuilder.h"
#include "ZipBuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kCars = 20;

QByteArray noise(QRandomGenerator& rng, qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    rng.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// A fresh game with 10 installed cars holding serials 1 to 10.
void freshGame(const QString& game) {
    QDir(game).removeRecursively();
    for (const char* sub : {"Data/Cars", "SaveData/Cars", "Data/FeArt/Vidwall"})
        QDir().mkpath(game + QString::fromLatin1(sub));
    for (int i = 0; i < 10; ++i) {
        const QString id = QString(QChar(u'A' + i)).repeated(4);
        VivBuilder::installCar(game, id, VivBuilder::carArchive(quint8(i + 1), id.toLatin1()));
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const QString tool = QStringLiteral(KAVRO_BIN_DIR "/kavro-cars");
    if (!QFileInfo::exists(tool) ||
        !QFileInfo::exists(QStringLiteral(KAVRO_BIN_DIR "/kavro-unzip"))) {
        std::fprintf(stderr, "bench_cars: build kavro-cars and kavro-unzip first\n");
        return 1;
    }
    TestEnv env;
    QRandomGenerator rng(20000830);

    // Twenty cars of about 3 MB: a 2.6 MB archive, pictures and save data of incompressible
    // bytes; half of them with a serial an installed car holds, so the renumbering runs too.
    QStringList zips;
    qint64 zipBytes = 0;
    for (int n = 1; n <= kCars; ++n) {
        QList<VivBuilder::Entry> entries =
            VivBuilder::carEntries(quint8(n % 2 ? n / 2 + 1 : 30 + n));
        entries[0].data = noise(rng, 2600 * 1024);
        const QString zip = env.root() + QStringLiteral("zips/Bench Car %1.zip").arg(n);
        QDir().mkpath(env.root() + QStringLiteral("zips"));
        ZipBuilder()
            .add("CAR.VIV", VivBuilder::build(entries))
            .add("ABCD.QFS", noise(rng, 256 * 1024))
            .add("ABCD1.QFS", noise(rng, 64 * 1024))
            .add("CAR.FEC", noise(rng, 100 * 1024))
            .write(zip);
        zips.append(zip);
        zipBytes += QFileInfo(zip).size();
    }

    QList<double> perCar;
    for (int round = 1; round <= rounds; ++round) {
        freshGame(env.gamePath());
        QProcess p;
        QElapsedTimer t;
        t.start();
        p.start(tool,
                QStringList{QStringLiteral("--game"), env.gamePath(), QStringLiteral("install")} +
                    zips);
        const bool finished = p.waitForFinished(600000);
        const double ms = t.nsecsElapsed() / 1e6;
        const QStringList lines =
            QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        if (!finished || p.exitCode() != 0 || lines.size() != kCars) {
            std::fprintf(stderr, "bench_cars: round %d failed: %s\n", round,
                         qPrintable(QString::fromUtf8(p.readAllStandardError())));
            return 1;
        }
        perCar.append(ms / kCars);
        std::printf("round %d: %d cars in %7.1f ms, %6.1f ms a car\n", round, kCars, ms,
                    ms / kCars);
    }
    std::sort(perCar.begin(), perCar.end());
    const double median = perCar.at(perCar.size() / 2);
    std::printf("%d car ZIPs of %.2f MB on average; median %.1f ms a car (target < 100 ms)\n",
                kCars, zipBytes / double(kCars) / 1048576.0, median);
    return median < 100.0 ? 0 : 2;
}
