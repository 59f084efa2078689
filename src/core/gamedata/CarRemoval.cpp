#include "core/gamedata/CarRemoval.h"

#include "core/gamedata/CarOrigins.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/InstallStaging.h"
#include "core/session/Session.h"
#include "platform/GameFs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr int kCarIdLength = 4;

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// "ABCD.QFS", or "ABCD" + one digit + ".QFS", for the car id, without regard to case.
bool isPictureOf(const QString& name, const QString& carId) {
    const QString suffix = QStringLiteral(".QFS");
    if (!name.endsWith(suffix, Qt::CaseInsensitive) || !sameName(name.left(kCarIdLength), carId))
        return false;
    const qsizetype middle = name.size() - kCarIdLength - suffix.size();
    if (middle == 0)
        return true;
    return middle == 1 && name.at(kCarIdLength) >= u'0' && name.at(kCarIdLength) <= u'9';
}

// Removes the entry at path: a folder with everything in it, a file or a symbolic link itself.
bool removeEntry(const QString& path, QString* error) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    const bool gone =
        info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
    if (gone)
        return true;
    if (error)
        *error = QStringLiteral("cannot remove \"%1\"").arg(path);
    return false;
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
    const QDir gameDir(game);
    const QString vidwall = GameFs::resolve(game, QStringLiteral("Data/FeArt/Vidwall/"));
    const QString saves = GameFs::resolve(game, QStringLiteral("SaveData/Cars/"));
    const QString cars = GameFs::resolve(game, QStringLiteral("Data/Cars/"));
    QStringList gone; // the save folder and the pictures, in the record's words
    if (const QString save = GameFs::findEntry(saves, name); !save.isEmpty())
        gone.append(InstallStaging::treeLine(gameDir.relativeFilePath(saves + save)));
    QStringList pictures;
    for (const QString& picture : GameFs::list(vidwall, QStringLiteral("*.QFS")))
        if (isPictureOf(picture, name)) {
            pictures.append(vidwall + picture);
            gone.append(InstallStaging::fileLine(gameDir.relativeFilePath(vidwall + picture)));
        }

    // The car leaves the game in one rename, then what went with it is deleted; a removal that
    // is killed is finished at the next start.
    InstallStaging staging(game, name);
    QString why;
    if (staging.takeOut(cars + name, gone, why)) {
        staging.undo();
        CarOrigins::forget(game, name);
        return true;
    }
    // Where the car cannot be moved (its folder on another disk), it goes in place: pictures and
    // save folder first, the car folder last, so a car not removed whole is still listed.
    for (const QString& picture : std::as_const(pictures))
        if (!removeEntry(picture, error))
            return false;
    if (const QString save = GameFs::findEntry(saves, name);
        !save.isEmpty() && !removeEntry(saves + save, error))
        return false;
    return removeEntry(cars + name, error);
}

} // namespace CarRemoval
