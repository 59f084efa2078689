#include "core/gamedata/CarRemoval.h"

#include "core/gamedata/CarOrigins.h"
#include "core/gamedata/CarPaths.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/InstallStaging.h"
#include "core/session/Session.h"
#include "platform/DiskSync.h"
#include "platform/GameFs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr int kCarIdLength = 4;

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Removes the entry at path: a folder with everything in it, a file or a symbolic link itself.
// Adds path to failed when something is left.
void removeEntry(const QString& path, QStringList& failed) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return;
    const bool gone =
        info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
    if (!gone)
        failed.append(path);
}

QString cannotRemove(const QStringList& failed) {
    QStringList quoted;
    for (const QString& path : failed)
        quoted.append(u'"' + path + u'"');
    return QStringLiteral("cannot remove ") + quoted.join(QStringLiteral(", "));
}

} // namespace

namespace CarRemoval {

QString installedName(const Session& session, const QString& id) {
    if (id.size() != kCarIdLength)
        return {};
    const QStringList installed = InstalledCarIds(session);
    if (installed.contains(id))
        return id;
    for (const QString& name : installed)
        if (sameName(name, id))
            return name;
    return {};
}

QString refusal(const Session& session, const QString& id) {
    if (id.size() != kCarIdLength)
        return QStringLiteral("\"%1\" is not a car id (a car id has four characters)").arg(id);
    if (installedName(session, id).isEmpty())
        return QStringLiteral("no car %1 is installed").arg(id);
    return {};
}

bool removeCar(const Session& session, const QString& carId, QString* error) {
    const QString name = installedName(session, carId);
    if (name.isEmpty()) {
        if (error)
            *error = refusal(session, carId);
        return false;
    }
    const QString game = session.GamePath;
    const CarPaths paths(game, name);
    const QString save = GameFs::findEntry(paths.savesFolder(), name);
    const QStringList pictures = paths.pictures();
    QStringList gone; // the save folder and the pictures, in the record's words
    if (!save.isEmpty())
        gone.append(InstallStaging::treeLine(paths.relative(paths.saveFolder())));
    for (const QString& picture : pictures)
        gone.append(InstallStaging::fileLine(paths.relative(picture)));

    // A car the installer made leaves the game in one rename, then what went with it is
    // deleted; a removal that is stopped, or that could not delete everything, keeps its record
    // and is finished at the next start.
    QString why;
    if (CarPaths::isCarId(name)) {
        InstallStaging staging(game, name);
        if (staging.takeOut(paths.carEntry(), gone, why)) {
            const QStringList failed = staging.undo();
            if (failed.isEmpty()) {
                CarOrigins::forget(game, name);
                return true;
            }
            if (error)
                *error = cannotRemove(failed) + QStringLiteral(" (the next start tries again)");
            return false;
        }
    }
    // Other names (the game's own cars), or a car that cannot be moved: removed in place,
    // pictures and save folder first, the car folder last and only when they are gone, so a car
    // not removed whole is still listed.
    QStringList failed;
    for (const QString& picture : pictures)
        removeEntry(picture, failed);
    if (!save.isEmpty())
        removeEntry(paths.saveFolder(), failed);
    if (failed.isEmpty())
        removeEntry(paths.carEntry(), failed);
    DiskSync::folder(paths.vidwallFolder());
    DiskSync::folder(paths.savesFolder());
    DiskSync::folder(paths.carsFolder());
    if (failed.isEmpty()) {
        CarOrigins::forget(game, name);
        return true;
    }
    if (error)
        *error = cannotRemove(failed) + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + u')');
    return false;
}

} // namespace CarRemoval
