#include "core/gamedata/CarPaths.h"

#include "platform/GameFs.h"

#include <QDir>

namespace {

constexpr int kCarIdLength = 4;
const QString kPictureSuffix = QStringLiteral(".QFS");
const QString kArchiveLeftoverPrefix = QStringLiteral("CAR.VIV.");
constexpr int kArchiveLeftoverRandom = 6;

// The folders made for a car's save folder and pictures, in the game's spelling.
const QStringList kMadeFolders{QStringLiteral("Data"), QStringLiteral("Data/FeArt"),
                               QStringLiteral("Data/FeArt/Vidwall"), QStringLiteral("SaveData"),
                               QStringLiteral("SaveData/Cars")};

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool isAsciiLetter(QChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// The parts of a path below the game folder; empty when it is absolute, uses "\" or holds an
// empty, "." or ".." part.
QStringList partsOf(const QString& relative) {
    if (relative.isEmpty() || relative.startsWith(u'/') || relative.contains(u'\\'))
        return {};
    const QStringList parts = relative.split(u'/');
    for (const QString& part : parts)
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return {};
    return parts;
}

// True when relative names the folder path (a path of kMadeFolders) and nothing else.
bool isFolder(const QStringList& parts, const QString& path) {
    const QStringList want = path.split(u'/');
    if (parts.size() != want.size())
        return false;
    for (qsizetype i = 0; i < parts.size(); ++i)
        if (!sameName(parts.at(i), want.at(i)))
            return false;
    return true;
}

} // namespace

bool CarPaths::isCarId(const QString& name) {
    if (name.size() != kCarIdLength)
        return false;
    for (QChar c : name)
        if (c < u'A' || c > u'Z')
            return false;
    return true;
}

bool CarPaths::isPictureOf(const QString& name, const QString& carId) {
    if (!name.endsWith(kPictureSuffix, Qt::CaseInsensitive) ||
        !sameName(name.left(kCarIdLength), carId) || carId.size() != kCarIdLength)
        return false;
    const qsizetype middle = name.size() - kCarIdLength - kPictureSuffix.size();
    return middle == 0 || (middle == 1 && isAsciiDigit(name.at(kCarIdLength)));
}

bool CarPaths::allows(const QString& carId, Kind kind, const QString& relative) {
    if (!isCarId(carId))
        return false;
    const QStringList parts = partsOf(relative);
    if (parts.isEmpty())
        return false;
    switch (kind) {
    case Kind::MadeFolder:
        for (const QString& folder : kMadeFolders)
            if (isFolder(parts, folder))
                return true;
        return false;
    case Kind::SaveFolder:
        return isFolder(parts, QStringLiteral("SaveData/Cars/") + carId);
    case Kind::Picture:
        return isFolder(parts.mid(0, parts.size() - 1), QStringLiteral("Data/FeArt/Vidwall")) &&
               isPictureOf(parts.last(), carId);
    }
    return false;
}

bool CarPaths::isArchiveLeftover(const QString& name) {
    if (name.size() != kArchiveLeftoverPrefix.size() + kArchiveLeftoverRandom ||
        !name.startsWith(kArchiveLeftoverPrefix, Qt::CaseInsensitive))
        return false;
    for (qsizetype i = kArchiveLeftoverPrefix.size(); i < name.size(); ++i)
        if (!isAsciiLetter(name.at(i)))
            return false;
    return true;
}

CarPaths::CarPaths(const QString& gamePath, const QString& carId)
    : m_game(GameFs::withSlash(gamePath)), m_id(carId),
      m_cars(GameFs::resolve(m_game, QStringLiteral("Data/Cars/"))),
      m_saves(GameFs::resolve(m_game, QStringLiteral("SaveData/Cars/"))),
      m_vidwall(GameFs::resolve(m_game, QStringLiteral("Data/FeArt/Vidwall/"))) {}

QString CarPaths::carEntry() const {
    const QString found = GameFs::findEntry(m_cars, m_id);
    return m_cars + (found.isEmpty() ? m_id : found);
}

QString CarPaths::saveFolder() const {
    const QString found = GameFs::findEntry(m_saves, m_id);
    return m_saves + (found.isEmpty() ? m_id : found);
}

QStringList CarPaths::pictures() const {
    QStringList out;
    for (const QString& name : GameFs::list(m_vidwall, QStringLiteral("*.QFS")))
        if (isPictureOf(name, m_id))
            out.append(m_vidwall + name);
    return out;
}

QString CarPaths::relative(const QString& path) const {
    return QDir(m_game).relativeFilePath(path);
}
