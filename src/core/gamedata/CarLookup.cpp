#include "core/gamedata/CarLookup.h"

#include "core/gamedata/CarIdentity.h"
#include "core/gamedata/CarOrigins.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/Garage.h"
#include "core/session/Session.h"
#include "platform/GameFs.h"

QString CarMatch::refusal() const {
    if (!found())
        return {};
    return (parked ? QStringLiteral("already parked as ") : QStringLiteral("already installed as ")) +
           id;
}

namespace {

// The car ids of the game, then of the garage, with where each one is.
QList<CarMatch> everyCar(const Session& session) {
    QList<CarMatch> cars;
    for (const QString& id : InstalledCarIds(session))
        cars.append({id, false});
    for (const QString& id : Garage::parkedIn(session.GamePath))
        cars.append({id, true});
    return cars;
}

QString archiveOf(const Session& session, const CarMatch& car) {
    if (!car.parked)
        return CarArchivePath(session, car.id);
    return Garage::archivePath(session.GamePath, car.id);
}

} // namespace

namespace CarLookup {

CarMatch byIdentity(const Session& session, const QString& identity) {
    if (identity.isEmpty())
        return {};
    for (const CarMatch& car : everyCar(session))
        if (CarIdentity::ofArchive(archiveOf(session, car)) == identity)
            return car;
    return {};
}

CarMatch byZip(const Session& session, const QString& zipPath) {
    const QString sha = CarIdentity::sha256OfFile(zipPath);
    if (sha.isEmpty())
        return {};
    const QList<CarMatch> cars = everyCar(session);
    for (const CarOrigin& o : CarOrigins::load(session.GamePath)) {
        if (o.zipSha256 != sha)
            continue;
        for (const CarMatch& car : cars)
            if (car.id.compare(o.carId, Qt::CaseInsensitive) == 0)
                return car;
    }
    return byIdentity(session, CarIdentity::ofZip(zipPath));
}

CarMatch byCatalogueEntry(const Session& session, const QString& catalogue, const QString& entry) {
    const QList<CarMatch> cars = everyCar(session);
    for (const CarOrigin& o : CarOrigins::load(session.GamePath)) {
        if (o.catalogue != catalogue || o.entry != entry)
            continue;
        for (const CarMatch& car : cars)
            if (car.id.compare(o.carId, Qt::CaseInsensitive) == 0)
                return car;
    }
    return {};
}

} // namespace CarLookup
