#include "core/gamedata/InstallStaging.h"

#include "platform/AnsiText.h"
#include "platform/GameFs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kRecord = QStringLiteral("PLACED.TXT");
const QString kRecordDraft = QStringLiteral("PLACED.TMP");
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
bool holdsCar(const QString& folder) {
    const QFileInfo car(folder + QStringLiteral("car"));
    return car.exists() || car.isSymLink();
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
    : m_game(GameFs::withSlash(gamePath)), m_folder(root(gamePath) + carId + u'/') {}

QString InstallStaging::root(const QString& gamePath) {
    return GameFs::resolve(GameFs::withSlash(gamePath), QStringLiteral("Data/")) +
           QStringLiteral(".kavro-staging/");
}

QStringList InstallStaging::heldIds(const QString& gamePath) {
    return QDir(root(gamePath))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

bool InstallStaging::writeRecord(const QStringList& record, QString& reason) {
    if (!QDir().mkpath(m_folder)) {
        reason = QStringLiteral("cannot create the folder \"%1\"").arg(m_folder);
        return false;
    }
    // Written whole under another name and renamed: a record is complete or absent.
    QFile draft(m_folder + kRecordDraft);
    const QByteArray bytes = AnsiText::encode(record.join(QStringLiteral("\r\n")) + "\r\n");
    if (!draft.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        draft.write(bytes) != bytes.size() || !draft.flush() ||
        !QFile::rename(m_folder + kRecordDraft, m_folder + kRecord)) {
        reason = QStringLiteral("cannot write the record in \"%1\"").arg(m_folder);
        return false;
    }
    return true;
}

bool InstallStaging::begin(const QStringList& record, QString& reason) {
    if (!writeRecord(record, reason))
        return false;
    if (!QDir().mkdir(carFolder())) {
        reason = QStringLiteral("cannot create the folder \"%1\"").arg(carFolder());
        return false;
    }
    return true;
}

bool InstallStaging::takeOut(const QString& carEntry, const QStringList& record, QString& reason) {
    if (!writeRecord(QStringList{kRemovalLine} + record, reason))
        return false;
    QString target = carFolder();
    target.chop(1);
    if (!QDir().rename(carEntry, target)) {
        reason = QStringLiteral("cannot move \"%1\" out of the game").arg(carEntry);
        QDir(m_folder).removeRecursively();
        QDir().rmdir(root(m_game));
        return false;
    }
    return true;
}

bool InstallStaging::arrive(const QString& target, QString& reason) {
    if (QFileInfo::exists(target) || !QDir().rename(carFolder(), target)) {
        reason = QStringLiteral("cannot move \"%1\" to \"%2\"").arg(carFolder(), target);
        return false;
    }
    return true;
}

void InstallStaging::finish() {
    QFile::remove(m_folder + kRecord);
    QDir(m_folder).removeRecursively();
    QDir().rmdir(root(m_game));
}

void InstallStaging::undo() {
    undoFolder(m_game, m_folder);
    QDir().rmdir(root(m_game));
}

void InstallStaging::undoFolder(const QString& game, const QString& folder) {
    QStringList record;
    if (holdsCar(folder) && AnsiText::readLines(folder + kRecord, record)) {
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
    QDir(folder).removeRecursively();
}

QStringList InstallStaging::undoUnfinished(const QString& gamePath) {
    const QString game = GameFs::withSlash(gamePath);
    const QString stagingRoot = root(game);
    const QString cars = GameFs::resolve(game, QStringLiteral("Data/Cars/"));
    QStringList lines;
    for (const QString& id : heldIds(game)) {
        const QString folder = stagingRoot + id + u'/';
        if (!holdsCar(folder)) {
            // The car arrived; only the record was left.
            QDir(folder).removeRecursively();
            QFile::remove(stagingRoot + id);
            continue;
        }
        QStringList idText, record;
        AnsiText::readLines(folder + QStringLiteral("car/ID.TXT"), idText);
        AnsiText::readLines(folder + kRecord, record);
        // A car of that id in the game is not this install's: its save data and pictures stay.
        if (!GameFs::findEntry(cars, id).isEmpty())
            QDir(folder).removeRecursively();
        else
            undoFolder(game, folder);
        const QString car =
            idText.isEmpty() ? id : QStringLiteral("%1 (%2)").arg(id, idText.first());
        lines.append(
            record.value(0) == kRemovalLine
                ? QStringLiteral("the removal of car %1 was finished").arg(car)
                : QStringLiteral("the install of car %1 never finished: it was undone").arg(car));
    }
    QDir().rmdir(stagingRoot);
    return lines;
}
