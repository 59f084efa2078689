// A set switch of 40 cars out and 40 in: the time of Garage::switchTo (the checks, the serial
// check of the 40 returning cars, the journal, 40 x 4 renames each way, the flushes), against the
// same change done the long way: the 40 cars removed with CarRemoval and the 40 others installed
// from their ZIPs with the installer (our extractor as a process, the copies, the serial check).
// Each car: an archive of about 1 MB of incompressible bytes, two pictures, save data.
//
// Run: build/bin/bench_garage [rounds]   (needs build/bin/kavro-unzip)
#include "TestEnv.h"
#include "VivBuilder.h"
#include "ZipBuilder.h"
#include "core/gamedata/CarInstaller.h"
#include "core/gamedata/CarRemoval.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/Garage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>

namespace {

constexpr int kCars = 40;

QByteArray noise(QRandomGenerator& rng, qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    rng.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

QString idOf(int i) {
    return QStringLiteral("C") + QChar(u'A' + i / 26) + QChar(u'A' + i % 26) + u'X';
}

QByteArray carBytes(QRandomGenerator& rng, quint8 serial) {
    QList<VivBuilder::Entry> entries = VivBuilder::carEntries(serial, "XXXX");
    entries[0].data = noise(rng, 1 << 20);
    return VivBuilder::build(entries);
}

double median(QList<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms.at(ms.size() / 2);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    if (!QFileInfo::exists(QStringLiteral(KAVRO_BIN_DIR "/kavro-unzip"))) {
        std::fprintf(stderr, "bench_garage: build kavro-unzip first\n");
        return 1;
    }
    TestEnv env;
    env.prompts.setAutoOk(true);
    Session& session = env.session;
    session.GamePath = env.gamePath();
    session.WinZipPath = QStringLiteral("\"" KAVRO_BIN_DIR "/kavro-unzip\"");
    QRandomGenerator rng(20000830);

    // 80 cars: set A (serials 1..40) in the game, set B parked. B's cars share A's serials, so
    // each switch renumbers 40 cars.
    QStringList setA, setB;
    for (int i = 0; i < 2 * kCars; ++i) {
        const QString id = idOf(i);
        (i < kCars ? setA : setB).append(id);
        VivBuilder::installCar(session.GamePath, id, carBytes(rng, quint8(i % kCars + 1)));
        env.writeFile(session.GamePath + "Data/Cars/" + id + "/ID.TXT", "Car\r\n");
        env.writeFile(session.GamePath + "SaveData/Cars/" + id + "/CAR.FEC", noise(rng, 4096));
        env.writeFile(session.GamePath + "Data/FeArt/Vidwall/" + id + ".QFS", noise(rng, 65536));
        env.writeFile(session.GamePath + "Data/FeArt/Vidwall/" + id + "1.QFS", noise(rng, 65536));
    }
    Garage garage(session);
    if (!garage.park(setB).ok)
        return 1;

    QList<double> switches;
    for (int r = 0; r < rounds; ++r) {
        for (const QStringList* set : {&setB, &setA}) {
            QElapsedTimer t;
            t.start();
            const Garage::Result result = garage.switchTo(*set);
            switches.append(t.nsecsElapsed() / 1e6);
            if (!result.ok) {
                std::fprintf(stderr, "switch failed: %s\n", qPrintable(result.error));
                return 1;
            }
        }
    }

    // The long way: ZIPs of set B's cars, then remove set A and install the ZIPs.
    QStringList zips;
    for (int i = 0; i < kCars; ++i) {
        const QString zip = env.root() + QStringLiteral("zips/car%1.zip").arg(i);
        QDir().mkpath(env.root() + "zips");
        ZipBuilder()
            .setStored(true)
            .add("CAR.VIV", carBytes(rng, quint8(i + 1)))
            .add("CARS.QFS", noise(rng, 65536))
            .add("CAR.FEC", noise(rng, 4096))
            .write(zip);
        zips.append(zip);
    }
    QElapsedTimer t;
    t.start();
    for (const QString& id : std::as_const(setA))
        if (!CarRemoval::removeCar(session, id))
            return 1;
    const double removeMs = t.nsecsElapsed() / 1e6;
    t.restart();
    ScanCarSerials(session);
    for (int i = 0; i < kCars; ++i) {
        CarInstaller installer(session, env.programEnd);
        installer.zipFile = zips.at(i);
        installer.extractionFolder = env.workDir() + QStringLiteral("CAR%1").arg(i + 1);
        QString errors, log;
        installer.InstallCar(qint16(i + 1), QStringLiteral("Car"), errors, log);
        if (!errors.isEmpty()) {
            std::fprintf(stderr, "install failed: %s\n", qPrintable(errors));
            return 1;
        }
        ScanCarSerials(session);
    }
    const double installMs = t.nsecsElapsed() / 1e6;

    std::printf("set switch, %d cars out and %d in (80 cars of 1.1 MB), %d switches:\n", kCars,
                kCars, int(switches.size()));
    std::printf("  median %.1f ms, min %.1f ms, max %.1f ms\n", median(switches),
                *std::min_element(switches.cbegin(), switches.cend()),
                *std::max_element(switches.cbegin(), switches.cend()));
    std::printf("the same change by remove + install: %.1f ms (remove %.1f ms, install %.1f "
                "ms)\n",
                removeMs + installMs, removeMs, installMs);
    return 0;
}
