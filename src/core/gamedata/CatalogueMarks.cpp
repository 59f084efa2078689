#include "core/gamedata/CatalogueMarks.h"

#include "core/gamedata/CarOrigins.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/Garage.h"
#include "core/session/Session.h"

#include <QSet>

namespace {

QSet<QString> upperCased(const QStringList& ids) {
    QSet<QString> set;
    for (const QString& id : ids)
        set.insert(id.toUpper());
    return set;
}

} // namespace

namespace CatalogueMarks {

QHash<QString, QString> of(const Session& session, const QString& catalogue) {
    QHash<QString, QString> marks;
    if (catalogue.isEmpty() || session.GamePath.isEmpty())
        return marks;
    const QList<CarOrigin> origins = CarOrigins::load(session.GamePath);
    if (origins.isEmpty())
        return marks;
    const QSet<QString> inGame = upperCased(InstalledCarIds(session));
    const QSet<QString> parked = upperCased(Garage::parkedIn(session.GamePath));
    for (const CarOrigin& o : origins) {
        if (o.catalogue != catalogue || o.entry.isEmpty())
            continue;
        const QString id = o.carId.toUpper();
        // A copy in the game outweighs one in the garage.
        if (inGame.contains(id))
            marks.insert(o.entry, kInstalled);
        else if (parked.contains(id) && !marks.contains(o.entry))
            marks.insert(o.entry, kParked);
    }
    return marks;
}

} // namespace CatalogueMarks
