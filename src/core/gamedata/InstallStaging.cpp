#include "core/gamedata/InstallStaging.h"

#include "platform/AnsiText.h"
#include "platform/GameFs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kRecordSuffix = QStringLiteral(".PLACED");
// The first line of the record of a removal (see takeOut).
const QString kRemovalLine = QStringLiteral("removal");

// A record path that stays below the game folder: relative, without "." or ".." parts.
bool isSafeRelative(const QString& path) {
    if (path.isEmpty() || path.startsWith(u'/') || path.contains(u'\\'))
        return false;
    for (const QString& part : path.split(u'/'))
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    return true;
}

// The staging folder still holds the car (a folder, or the file or link a removal took out).
bool holdsCar(const QString& car) {
    const QFileInfo info(car);
    return info.exists() || info.isSymLink();
}

// Removes the entry at path: a folder with everything in it, a file or a symbolic link itself.
void removeEntry(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else if (info.exists() || info.isSymLink())
        QFile::remove(path);
}

} // namespace

InstallStaging::InstallStaging(const QString& gamePath, const QString& carId)
    : m_game(GameFs::withSlash(gamePath)), m_car(root(gamePath) + carId),
      m_record(m_car + kRecordSuffix) {}

QString InstallStaging::root(const QString& gamePath) {
    return GameFs::resolve(GameFs::withSlash(gamePath), QStringLiteral("Data/")) +
           QStringLiteral(".kavro-staging/");
}

QStringList InstallStaging::heldIds(const QString& gamePath) {
    QStringList ids;
    for (const QString& name :
         QDir(root(gamePath))
             .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const QString id = name.endsWith(kRecordSuffix) ? name.chopped(kRecordSuffix.size()) : name;
        if (!ids.contains(id))
            ids.append(id);
    }
    return ids;
}

bool InstallStaging::writeRecord(const QStringList& record, QString& reason) {
    if (const QString r = root(m_game); !QFileInfo::exists(r))
        QDir().mkpath(r);
    // One write of a few hundred bytes: the record is there whole or not at all (a process that
    // is killed does not cut a small write to a local file short), and the car beside it comes
    // only after it.
    QFile file(m_record);
    const QByteArray bytes = AnsiText::encode(record.join(QStringLiteral("\r\n")) + "\r\n");
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered) ||
        file.write(bytes) != bytes.size()) {
        reason = QStringLiteral("cannot write the record \"%1\"").arg(m_record);
        return false;
    }
    return true;
}

bool InstallStaging::begin(const QStringList& record, QString& reason) {
    if (!writeRecord(record, reason))
        return false;
    if (!QDir().mkdir(m_car)) {
        reason = QStringLiteral("cannot create the folder \"%1\"").arg(m_car);
        return false;
    }
    return true;
}

bool InstallStaging::takeOut(const QString& carEntry, const QStringList& record, QString& reason) {
    if (!writeRecord(QStringList{kRemovalLine} + record, reason))
        return false;
    if (!QDir().rename(carEntry, m_car)) {
        reason = QStringLiteral("cannot move \"%1\" out of the game").arg(carEntry);
        finish();
        return false;
    }
    return true;
}

bool InstallStaging::arrive(const QString& target, QString& reason) {
    if (QFileInfo::exists(target) || !QDir().rename(m_car, target)) {
        reason = QStringLiteral("cannot move \"%1\" to \"%2\"").arg(m_car, target);
        return false;
    }
    return true;
}

void InstallStaging::finish() {
    QFile::remove(m_record);
    QDir().rmdir(root(m_game));
}

void InstallStaging::undo() {
    undoCar(m_game, m_car);
    QDir().rmdir(root(m_game));
}

void InstallStaging::undoCar(const QString& game, const QString& car) {
    QStringList record;
    if (holdsCar(car) && AnsiText::readLines(car + kRecordSuffix, record)) {
        // Taken back in the reverse order of placing: files and trees, then the folders made
        // for them when nothing else has come into them since.
        for (auto it = record.crbegin(); it != record.crend(); ++it) {
            const QString kind = it->section(u' ', 0, 0);
            const QString path = it->section(u' ', 1);
            if (!isSafeRelative(path))
                continue;
            if (kind == QLatin1String("dir"))
                QDir().rmdir(game + path);
            else if (kind == QLatin1String("tree") || kind == QLatin1String("file"))
                removeEntry(game + path);
        }
    }
    removeEntry(car);
    QFile::remove(car + kRecordSuffix);
}

QStringList InstallStaging::undoUnfinished(const QString& gamePath) {
    const QString game = GameFs::withSlash(gamePath);
    const QString stagingRoot = root(game);
    const QString cars = GameFs::resolve(game, QStringLiteral("Data/Cars/"));
    QStringList lines;
    for (const QString& id : heldIds(game)) {
        const QString car = stagingRoot + id;
        if (!holdsCar(car)) {
            // The car arrived (or nothing was placed yet); only the record was left.
            QFile::remove(car + kRecordSuffix);
            continue;
        }
        QStringList idText, record;
        AnsiText::readLines(car + QStringLiteral("/ID.TXT"), idText);
        AnsiText::readLines(car + kRecordSuffix, record);
        // A car of that id in the game is not this install's: its save data and pictures stay.
        if (!GameFs::findEntry(cars, id).isEmpty()) {
            removeEntry(car);
            QFile::remove(car + kRecordSuffix);
        } else {
            undoCar(game, car);
        }
        const QString what =
            idText.isEmpty() ? id : QStringLiteral("%1 (%2)").arg(id, idText.first());
        lines.append(
            record.value(0) == kRemovalLine
                ? QStringLiteral("the removal of car %1 was finished").arg(what)
                : QStringLiteral("the install of car %1 never finished: it was undone").arg(what));
    }
    QDir().rmdir(stagingRoot);
    return lines;
}
