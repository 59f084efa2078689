#include "core/gamedata/CarLookup.h"

#include "core/gamedata/CarIdentity.h"
#include "core/gamedata/CarOrigins.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/Garage.h"
#include "core/session/Session.h"
#include "platform/GameFs.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

#include <sys/stat.h>

QString CarMatch::refusal() const {
    if (!found())
        return {};
    return (parked ? QStringLiteral("already parked as ")
                   : QStringLiteral("already installed as ")) +
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

// The identities of the cars' archives, kept beside the garage so that a lookup hashes only the
// archives that changed since: Data/.kavro-garage/IDENTITIES.json, each entry keyed by the
// archive's path below the game and trusted only while the archive's size, change time and
// inode are still the ones recorded with it, so an install hashes only its own car, not the
// fifty in the game each time.
class IdentityCache {
public:
    explicit IdentityCache(const QString& gamePath)
        : m_game(GameFs::withSlash(gamePath)),
          m_path(Garage::root(gamePath) + QStringLiteral("IDENTITIES.json")) {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly) || file.size() > (8 << 20))
            return;
        static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
        const QJsonObject all = QJsonDocument::fromJson(file.readAll()).object();
        for (auto it = all.begin(); it != all.end(); ++it) {
            const QJsonObject e = it.value().toObject();
            const QString identity = e.value(QStringLiteral("identity")).toString();
            if (hex.match(identity).hasMatch())
                m_entries.insert(it.key(), {e.value(QStringLiteral("stamp")).toString(), identity});
        }
    }
    ~IdentityCache() {
        if (!m_changed)
            return;
        QJsonObject all;
        for (auto it = m_used.cbegin(); it != m_used.cend(); ++it)
            all.insert(it.key(), QJsonObject{{QStringLiteral("stamp"), it->first},
                                             {QStringLiteral("identity"), it->second}});
        // Kept where the garage is (every install keeps its origin there): a garage is never
        // made for a cache alone.
        if (!QFileInfo(Garage::root(m_game)).isDir())
            return;
        QSaveFile file(m_path);
        const QByteArray bytes = QJsonDocument(all).toJson(QJsonDocument::Compact);
        if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
            file.commit();
    }
    QString of(const QString& archive) {
        const QString key = QDir(m_game).relativeFilePath(archive);
        struct stat st {};
        if (::stat(QFile::encodeName(archive).constData(), &st) != 0)
            return {};
        const QString stamp = QStringLiteral("%1 %2.%3 %4")
                                  .arg(qint64(st.st_size))
                                  .arg(qint64(st.st_ctim.tv_sec))
                                  .arg(qint64(st.st_ctim.tv_nsec))
                                  .arg(quint64(st.st_ino));
        auto it = m_entries.constFind(key);
        if (it != m_entries.cend() && it->first == stamp) {
            m_used.insert(key, *it);
            return it->second;
        }
        const QString identity = CarIdentity::ofArchive(archive);
        if (!identity.isEmpty()) {
            m_used.insert(key, {stamp, identity});
            m_changed = true;
        }
        return identity;
    }

private:
    QString m_game;
    QString m_path;
    QHash<QString, std::pair<QString, QString>> m_entries; // key: stamp, identity
    QHash<QString, std::pair<QString, QString>> m_used;
    bool m_changed = false;
};

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
    IdentityCache cache(session.GamePath);
    for (const CarMatch& car : everyCar(session))
        if (cache.of(archiveOf(session, car)) == identity)
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
