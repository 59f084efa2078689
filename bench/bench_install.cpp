// Time from "download finished" (the car's ZIP lies in the work folder) to "installed" (InstallCar
// has returned), for a car ZIP of about 3 MB: CAR.VIV, video-wall pictures, CAR.FEC. The install
// runs for real: our extractor as a process, the copies, ID.TXT and the serial check against a
// game with 20 installed cars. Target: under 0.5 s a car. Also times two failures (a file that is
// not a ZIP, a ZIP without CAR.VIV), which must be reported at once, not after a time limit.
//
// Run: build/bin/bench_install [rounds]   (needs build/bin/kavro-unzip)
#include "TestEnv.h"
#include "VivBuilder.h"
#include "ZipBuilder.h"
#include "core/gamedata/CarInstaller.h"
#include "core/gamedata/CarSerials.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>

namespace {

QByteArray noise(QRandomGenerator& rng, qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    rng.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

struct Stats {
    double min = 0, median = 0, max = 0;
};

Stats stats(QList<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms.first(), ms.at(ms.size() / 2), ms.last()};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 20;
    if (!QFileInfo::exists(QStringLiteral(KAVRO_BIN_DIR "/kavro-unzip"))) {
        std::fprintf(stderr, "bench_install: build kavro-unzip first\n");
        return 1;
    }
    TestEnv env;
    env.prompts.setAutoOk(true);
    QRandomGenerator rng(20000830);

    // The game: 20 installed cars holding serials 1 to 20.
    for (int i = 0; i < 20; ++i) {
        const QString id = QString(QChar(u'A' + i)).repeated(4);
        VivBuilder::installCar(env.gamePath(), id,
                               VivBuilder::carArchive(quint8(i + 1), id.toLatin1()));
    }

    // The car: an archive of about 2.6 MB whose serial collides with an installed car, so the
    // renumbering path runs; two pictures and save data; incompressible bytes.
    QList<VivBuilder::Entry> entries = VivBuilder::carEntries(5, "XXXX");
    entries[0].data = noise(rng, 2600 * 1024);
    const QByteArray viv = VivBuilder::build(entries);
    ZipBuilder car;
    car.add("CAR.VIV", viv)
        .add("ABCD.QFS", noise(rng, 256 * 1024))
        .add("ABCD1.QFS", noise(rng, 64 * 1024))
        .add("CAR.FEC", noise(rng, 100 * 1024))
        .add("readme.txt", QByteArray("A car for the bench.\r\n"));

    CarInstaller installer(env.session, env.programEnd);
    // The same car every round, installed again on purpose as --again does (bench_cars times the
    // duplicate check, with cars of their own).
    installer.again = true;
    QList<double> times;
    qint64 zipSize = 0;
    for (int n = 1; n <= rounds; ++n) {
        ScanCarSerials(env.session, env.prompts); // as the download run does after every car
        const QString zip = env.workDir() + QStringLiteral("CAR%1.ZIP").arg(n);
        if (!car.write(zip)) {
            std::fprintf(stderr, "bench_install: cannot write the ZIP\n");
            return 1;
        }
        zipSize = QFileInfo(zip).size();
        QString errors, log;
        QElapsedTimer t;
        t.start();
        installer.InstallCar(qint16(n), QStringLiteral("Bench Car %1").arg(n), errors, log);
        times.append(t.nsecsElapsed() / 1e6);
        if (!errors.isEmpty() || !log.contains(QStringLiteral("WARNING"))) {
            std::fprintf(stderr, "bench_install: install %d failed: %s\n", n, qPrintable(errors));
            return 1;
        }
    }

    // Failures: a page instead of a ZIP, and a ZIP without CAR.VIV.
    QList<double> notZip, noViv;
    for (int i = 0; i < 5; ++i) {
        env.writeFile(env.workDir() + QStringLiteral("CAR90.ZIP"), "<html>Not Found</html>");
        QString errors, log;
        QElapsedTimer t;
        t.start();
        installer.InstallCar(90, QStringLiteral("Not a ZIP"), errors, log);
        notZip.append(t.nsecsElapsed() / 1e6);
        ZipBuilder().add("ABCD.QFS", noise(rng, 256 * 1024)).write(env.workDir() + "CAR91.ZIP");
        errors.clear();
        t.start();
        installer.InstallCar(91, QStringLiteral("No CAR.VIV"), errors, log);
        noViv.append(t.nsecsElapsed() / 1e6);
        if (!errors.startsWith(QStringLiteral("Installation failed: "))) {
            std::fprintf(stderr, "bench_install: a failure was not reported\n");
            return 1;
        }
    }

    const Stats s = stats(times);
    const Stats f1 = stats(notZip);
    const Stats f2 = stats(noViv);
    std::printf("car ZIP %.2f MB, %d installs into a game of 20+ cars\n", zipSize / 1048576.0,
                rounds);
    std::printf("install      min %7.1f ms  median %7.1f ms  max %7.1f ms  (target < 500 ms)\n",
                s.min, s.median, s.max);
    std::printf("not a ZIP    min %7.1f ms  median %7.1f ms  max %7.1f ms\n", f1.min, f1.median,
                f1.max);
    std::printf("no CAR.VIV   min %7.1f ms  median %7.1f ms  max %7.1f ms\n", f2.min, f2.median,
                f2.max);
    return s.max < 500.0 ? 0 : 2;
}
