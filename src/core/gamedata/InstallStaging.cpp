#include "core/gamedata/InstallStaging.h"

#include "core/gamedata/CarPaths.h"
#include "platform/AnsiText.h"
#include "platform/DiskSync.h"
#include "platform/GameFs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kStagingName = QStringLiteral(".kavro-staging/");
const QString kRecordSuffix = QStringLiteral(".PLACED");
// The first line of the record of a removal (see takeOut).
const QString kRemovalLine = QStringLiteral("removal");
// A record is a few hundred bytes; a bigger file is none of ours.
constexpr qint64 kMaxRecordBytes = 64 * 1024;

enum class Type { None, Link, Folder, File, Other };

// What is at path, links not followed (also when path ends in "/").
Type typeOf(QString path) {
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    struct stat st{};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return Type::None;
    if (S_ISLNK(st.st_mode))
        return Type::Link;
    if (S_ISDIR(st.st_mode))
        return Type::Folder;
    return S_ISREG(st.st_mode) ? Type::File : Type::Other;
}

std::optional<dev_t> deviceOf(const QString& path) {
    struct stat st{};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return st.st_dev;
}

QString parentOf(const QString& path) {
    return QFileInfo(QDir::cleanPath(path)).path();
}

// Removes the entry at path: a link or file itself, a folder with its contents (the links in it
// removed themselves, never followed). True when nothing is left there.
bool removeEntry(const QString& path) {
    switch (typeOf(path)) {
    case Type::None:
        return true;
    case Type::Folder:
        return QDir(path).removeRecursively();
    default:
        return ::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT;
    }
}

// A text read from the game, shown on one line: control characters become "?".
QString shown(QString text) {
    for (QChar& c : text)
        if (!c.isPrint())
            c = u'?';
    return text;
}

QString quoted(const QStringList& paths) {
    QStringList out;
    for (const QString& p : paths)
        out.append(u'"' + shown(p) + u'"');
    return out.join(QStringLiteral(", "));
}

// The record of the car staged at car; empty when it is missing, not a plain file or too big.
QStringList readRecord(const QString& car) {
    const QString record = car + kRecordSuffix;
    QStringList lines;
    if (typeOf(record) == Type::File && QFileInfo(record).size() <= kMaxRecordBytes)
        AnsiText::readLines(record, lines);
    return lines;
}

struct Undone {
    QStringList failed; // what could not be removed
    QStringList refused; // record lines the car's paths do not allow
};

// Takes back what the record of the car id staged in root lists (unless keepPlaced), then removes
// the staged entry and, when all of that is gone, the record. Changed folders are flushed.
Undone undoCar(const QString& game, const QString& root, const QString& id, bool keepPlaced) {
    const QString car = root + id;
    const QString record = car + kRecordSuffix;
    const QStringList lines = readRecord(car);
    Undone undone;
    QSet<QString> changed;
    // Taken back in the reverse order of placing: pictures and the save folder, then the folders
    // made for them when nothing else has come into them since.
    for (auto it = lines.crbegin(); it != lines.crend() && !keepPlaced; ++it) {
        if (*it == kRemovalLine && it == std::prev(lines.crend()))
            continue;
        const QString word = it->section(u' ', 0, 0);
        const QString path = it->section(u' ', 1);
        std::optional<CarPaths::Kind> kind;
        if (word == QLatin1String("dir"))
            kind = CarPaths::Kind::MadeFolder;
        else if (word == QLatin1String("tree"))
            kind = CarPaths::Kind::SaveFolder;
        else if (word == QLatin1String("file"))
            kind = CarPaths::Kind::Picture;
        if (!kind || !CarPaths::allows(id, *kind, path)) {
            undone.refused.append(it->isEmpty() ? QStringLiteral("(an empty line)") : *it);
            continue;
        }
        const QString full = game + path;
        const Type type = typeOf(full);
        if (type == Type::None)
            continue;
        if (kind == CarPaths::Kind::MadeFolder) {
            // Only while empty, and never through a link.
            if (type == Type::Folder && ::rmdir(QFile::encodeName(full).constData()) == 0)
                changed.insert(parentOf(full));
            continue;
        }
        if (removeEntry(full))
            changed.insert(parentOf(full));
        else
            undone.failed.append(full);
    }
    for (const QString& folder : std::as_const(changed))
        DiskSync::folder(folder);
    if (!undone.failed.isEmpty())
        return undone; // the car and its record stay, for the next start to finish
    if (!removeEntry(car)) {
        undone.failed.append(car);
        return undone;
    }
    if (typeOf(record) != Type::Folder)
        removeEntry(record);
    DiskSync::folder(root);
    return undone;
}

// The staging folder beside the real Data/Cars when that lies on another filesystem than the
// game's Data folder (Data/Cars a link to another disk); empty otherwise.
QString besideRealCars(const QString& game) {
    const QString data = GameFs::resolve(game, QStringLiteral("Data/"));
    const QString cars = GameFs::resolve(game, QStringLiteral("Data/Cars"));
    const QString real = QFileInfo(cars).canonicalFilePath();
    if (real.isEmpty())
        return {};
    const std::optional<dev_t> carsDevice = deviceOf(real);
    if (!carsDevice || deviceOf(data) == carsDevice)
        return {};
    const QString parent = parentOf(real);
    if (deviceOf(parent) != carsDevice)
        return {}; // Data/Cars is a mount point: nowhere beside it is on its filesystem
    return GameFs::withSlash(parent) + kStagingName;
}

} // namespace

InstallStaging::InstallStaging(const QString& gamePath, const QString& carId)
    : m_game(GameFs::withSlash(gamePath)), m_id(carId), m_root(root(gamePath)),
      m_car(m_root + carId), m_record(m_car + kRecordSuffix) {}

QString InstallStaging::root(const QString& gamePath) {
    const QString game = GameFs::withSlash(gamePath);
    const QString beside = besideRealCars(game);
    return beside.isEmpty() ? GameFs::resolve(game, QStringLiteral("Data/")) + kStagingName
                            : beside;
}

QStringList InstallStaging::roots(const QString& gamePath) {
    const QString game = GameFs::withSlash(gamePath);
    QStringList out{GameFs::resolve(game, QStringLiteral("Data/")) + kStagingName};
    if (const QString beside = besideRealCars(game); !beside.isEmpty() && beside != out.first())
        out.append(beside);
    return out;
}

QStringList InstallStaging::heldIds(const QString& gamePath) {
    QStringList ids;
    for (const QString& r : roots(gamePath))
        for (const QString& name : QDir(r).entryList(QDir::AllEntries | QDir::Hidden |
                                                     QDir::System | QDir::NoDotAndDotDot)) {
            const QString id =
                name.endsWith(kRecordSuffix) ? name.chopped(kRecordSuffix.size()) : name;
            if (!ids.contains(id))
                ids.append(id);
        }
    return ids;
}

bool InstallStaging::isFree(QString& reason) const {
    if (typeOf(m_root) == Type::Link) {
        reason = QStringLiteral("the staging folder \"%1\" is a link").arg(m_root);
        return false;
    }
    if (typeOf(m_car) != Type::None || typeOf(m_record) != Type::None) {
        reason = QStringLiteral("the staging folder \"%1\" already holds %2").arg(m_root, m_id);
        return false;
    }
    return true;
}

bool InstallStaging::writeRecord(const QStringList& record, QString& reason) {
    if (!isFree(reason))
        return false;
    if (typeOf(m_root) == Type::None) {
        if (!QDir().mkpath(m_root)) {
            reason = QStringLiteral("cannot create the folder \"%1\"").arg(m_root);
            return false;
        }
        DiskSync::folder(parentOf(m_root));
    }
    // One write of a few hundred bytes, flushed to disk with the folder's new entry before the
    // car beside it or anything it lists: after a power cut the record is there whole whenever
    // something it lists is.
    QFile file(m_record);
    const QByteArray bytes = AnsiText::encode(record.join(QStringLiteral("\r\n")) + "\r\n");
    if (!file.open(QIODevice::NewOnly | QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        file.write(bytes) != bytes.size() || ::fsync(file.handle()) != 0 ||
        !DiskSync::folder(m_root)) {
        reason = QStringLiteral("cannot write the record \"%1\"").arg(m_record);
        if (file.isOpen()) {
            file.close();
            QFile::remove(m_record);
        }
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
    if (::rename(QFile::encodeName(carEntry).constData(), QFile::encodeName(m_car).constData()) !=
        0) {
        reason = QStringLiteral("cannot move \"%1\" out of the game: %2")
                     .arg(carEntry, QString::fromLocal8Bit(strerror(errno)));
        finish();
        return false;
    }
    DiskSync::folder(parentOf(carEntry));
    DiskSync::folder(m_root);
    return true;
}

bool InstallStaging::arrive(const QString& target, QString& reason) {
    if (typeOf(target) != Type::None ||
        ::rename(QFile::encodeName(m_car).constData(), QFile::encodeName(target).constData()) !=
            0) {
        reason = QStringLiteral("cannot move \"%1\" to \"%2\"").arg(m_car, target);
        return false;
    }
    DiskSync::folder(parentOf(target));
    DiskSync::folder(m_root);
    return true;
}

void InstallStaging::finish() {
    QFile::remove(m_record);
    DiskSync::folder(m_root);
    QDir().rmdir(m_root);
}

QStringList InstallStaging::undo() {
    const Undone undone = undoCar(m_game, m_root, m_id, false);
    QDir().rmdir(m_root);
    return undone.failed;
}

QStringList InstallStaging::undoUnfinished(const QString& gamePath) {
    const QString game = GameFs::withSlash(gamePath);
    const QString cars = GameFs::resolve(game, QStringLiteral("Data/Cars/"));
    QStringList lines;
    for (const QString& stagingRoot : roots(game)) {
        const Type rootType = typeOf(stagingRoot);
        if (rootType == Type::None)
            continue;
        if (rootType != Type::Folder) {
            lines.append(QStringLiteral("\"%1\" is not a folder: it was left where it is")
                             .arg(shown(stagingRoot)));
            continue;
        }
        QStringList ids;
        for (const QString& name : QDir(stagingRoot).entryList(
                 QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            const QString id =
                name.endsWith(kRecordSuffix) ? name.chopped(kRecordSuffix.size()) : name;
            if (!CarPaths::isCarId(id))
                lines.append(QStringLiteral("\"%1\" is not a car's: it was left where it is")
                                 .arg(shown(stagingRoot + name)));
            else if (!ids.contains(id))
                ids.append(id);
        }
        for (const QString& id : std::as_const(ids)) {
            const QString car = stagingRoot + id;
            const QString record = car + kRecordSuffix;
            if (typeOf(car) == Type::None) {
                // The car arrived (or nothing was placed yet); only the record was left.
                if (typeOf(record) != Type::Folder)
                    removeEntry(record);
                else
                    lines.append(QStringLiteral("\"%1\" is not a car's: it was left where it is")
                                     .arg(shown(record)));
                continue;
            }
            QStringList idText;
            if (typeOf(car) == Type::Folder && typeOf(car + QStringLiteral("/ID.TXT")) == Type::File)
                AnsiText::readLines(car + QStringLiteral("/ID.TXT"), idText);
            const bool removal = readRecord(car).value(0) == kRemovalLine;
            // A car of that id in the game is not this staging's: its save data and pictures stay.
            const bool carInGame = !GameFs::findEntry(cars, id).isEmpty();
            const Undone undone = undoCar(game, stagingRoot, id, carInGame);
            for (const QString& line : undone.refused)
                lines.append(QStringLiteral("the record of car %1 names \"%2\", which is not "
                                            "the car's: it was left where it is")
                                 .arg(id, shown(line)));
            const QString what =
                idText.isEmpty() ? id
                                 : QStringLiteral("%1 (%2)").arg(id, shown(idText.first().left(80)));
            if (!undone.failed.isEmpty())
                lines.append(QStringLiteral("the %1 of car %2 is not finished: cannot remove %3; "
                                            "the next start tries again")
                                 .arg(removal ? QStringLiteral("removal")
                                              : QStringLiteral("undo of the install"),
                                      what, quoted(undone.failed)));
            else if (removal)
                lines.append(QStringLiteral("the removal of car %1 was finished").arg(what));
            else
                lines.append(
                    QStringLiteral("the install of car %1 never finished: it was undone").arg(what));
        }
        QDir().rmdir(stagingRoot);
    }

    // The temporary copies that an archive rewrite killed mid-car left beside CAR.VIV.
    for (const QString& name : GameFs::list(cars, QStringLiteral("????"), GameFs::Kind::Folders)) {
        if (typeOf(cars + name) != Type::Folder)
            continue; // a linked car folder is not looked into
        for (const QString& entry : QDir(cars + name).entryList(QDir::Files | QDir::System |
                                                                QDir::Hidden)) {
            const QString path = cars + name + u'/' + entry;
            if (!CarPaths::isArchiveLeftover(entry) || typeOf(path) == Type::Folder)
                continue;
            lines.append(removeEntry(path)
                             ? QStringLiteral("removed \"%1\", left by an archive rewrite that "
                                              "never finished")
                                   .arg(shown(path))
                             : QStringLiteral("cannot remove \"%1\", left by an archive rewrite "
                                              "that never finished")
                                   .arg(shown(path)));
        }
    }
    return lines;
}
