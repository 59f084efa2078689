#include "core/gamedata/GarageJournal.h"

#include "core/gamedata/CarPaths.h"
#include "core/gamedata/Garage.h"
#include "platform/DiskSync.h"
#include "platform/GameFs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>


namespace {

const QString kHeader = QStringLiteral("kavro garage journal 1");
const QString kWhat = QStringLiteral("what ");
constexpr qint64 kMaxJournalBytes = 1 << 20;

bool exists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool isPictureOf(const QString& name, const QString& id) {
    return CarPaths::isPictureOf(name, id);
}

void syncFolder(const QString& path) {
    DiskSync::folder(path);
}

QString carsFolder(const QString& game) {
    return GameFs::resolve(game, QStringLiteral("Data/Cars/"));
}
QString savesFolder(const QString& game) {
    return GameFs::resolve(game, QStringLiteral("SaveData/Cars/"));
}
QString vidwallFolder(const QString& game) {
    return GameFs::resolve(game, QStringLiteral("Data/FeArt/Vidwall/"));
}

// The pictures of car id in folder, by their names there.
QStringList picturesOf(const QString& folder, const QString& id) {
    QStringList found;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (isPictureOf(name, id))
            found.append(name);
    return found;
}

// The entry of folder named name without regard to case, in its spelling there; else name.
QString entryIn(const QString& folder, const QString& name) {
    const QString found = GameFs::findEntry(folder, name);
    return folder + (found.isEmpty() ? name : found);
}

} // namespace

GarageJournal::GarageJournal(QString gamePath)
    : m_game(GameFs::withSlash(gamePath)), m_journal(Garage::root(m_game) + "JOURNAL") {}

bool GarageJournal::isCarId(const QString& id) {
    if (id.size() != 4 || id == QLatin1String("..") || id.startsWith(u'.'))
        return false;
    for (const QChar c : id)
        if (c.unicode() < 0x20 || c == u'/' || c == u'\\' || c == u':' || c == u'.' ||
            c.unicode() == 0x7f)
            return false;
    return true;
}

QString GarageJournal::takenPlace(const QString& gamePath, const QString& id) {
    const QString game = GameFs::withSlash(gamePath);
    const QString saves = savesFolder(game);
    if (const QString save = GameFs::findEntry(saves, id); !save.isEmpty())
        return QStringLiteral("the save folder SaveData/Cars/%1").arg(save);
    if (const QStringList pictures = picturesOf(vidwallFolder(game), id); !pictures.isEmpty())
        return QStringLiteral("the video-wall picture %1").arg(pictures.first());
    return {};
}

QString GarageJournal::gameSide(const Move& m) const {
    if (m.part == QLatin1String("car"))
        return entryIn(carsFolder(m_game), m.id);
    if (m.part == QLatin1String("save"))
        return entryIn(savesFolder(m_game), m.id);
    return vidwallFolder(m_game) + m.picture;
}

QString GarageJournal::garageSide(const Move& m) const {
    const QString car = Garage::root(m_game) + m.id + u'/';
    if (m.part == QLatin1String("picture"))
        return car + QStringLiteral("vidwall/") + m.picture;
    return car + m.part;
}

QString GarageJournal::line(const Move& m) const {
    QString text = (m.park ? QStringLiteral("park ") : QStringLiteral("return ")) + m.id + u' ' +
                   m.part;
    if (m.part == QLatin1String("picture"))
        text += u' ' + m.picture;
    return text;
}

bool GarageJournal::parse(const QString& text, Move& m) const {
    const QStringList words = text.split(u' ');
    if (words.size() < 3 || words.size() > 4)
        return false;
    if (words[0] != QLatin1String("park") && words[0] != QLatin1String("return"))
        return false;
    m.park = words[0] == QLatin1String("park");
    m.id = words[1];
    m.part = words[2];
    m.picture = words.value(3);
    if (!isCarId(m.id))
        return false;
    if (m.part == QLatin1String("picture"))
        return words.size() == 4 && isPictureOf(m.picture, m.id);
    return words.size() == 3 && (m.part == QLatin1String("car") || m.part == QLatin1String("save"));
}

bool GarageJournal::addPark(const QString& id, QString* error) {
    const QString garage = Garage::root(m_game) + id;
    if (exists(garage + QStringLiteral("/car"))) {
        *error = QStringLiteral("%1 cannot be parked: the garage already holds a car %1").arg(id);
        return false;
    }
    m_moves.append({true, id, QStringLiteral("car"), {}});
    if (!GameFs::findEntry(savesFolder(m_game), id).isEmpty())
        m_moves.append({true, id, QStringLiteral("save"), {}});
    for (const QString& picture : picturesOf(vidwallFolder(m_game), id))
        m_moves.append({true, id, QStringLiteral("picture"), picture});
    return true;
}

bool GarageJournal::addReturn(const QString& id, QString* error) {
    const QString car = Garage::root(m_game) + id + u'/';
    if (!exists(car + QStringLiteral("car"))) {
        *error = QStringLiteral("no car %1 is parked").arg(id);
        return false;
    }
    // Pictures and save data first, the car last, as an install places them.
    for (const QString& picture : picturesOf(car + QStringLiteral("vidwall"), id))
        m_moves.append({false, id, QStringLiteral("picture"), picture});
    if (exists(car + QStringLiteral("save")))
        m_moves.append({false, id, QStringLiteral("save"), {}});
    m_moves.append({false, id, QStringLiteral("car"), {}});
    return true;
}

bool GarageJournal::writeJournal(QString* error) const {
    QStringList lines{kHeader, kWhat + m_what};
    for (const Move& m : m_moves)
        lines.append(line(m));
    QSaveFile file(m_journal);
    const QByteArray bytes = (lines.join(u'\n') + u'\n').toUtf8();
    // QSaveFile syncs the file before it takes the journal's name.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("cannot write \"%1\"").arg(m_journal);
        return false;
    }
    syncFolder(Garage::root(m_game));
    return true;
}

void GarageJournal::syncFolders() const {
    syncFolder(carsFolder(m_game));
    syncFolder(savesFolder(m_game));
    syncFolder(vidwallFolder(m_game));
    QStringList ids;
    for (const Move& m : m_moves)
        if (!ids.contains(m.id))
            ids.append(m.id);
    for (const QString& id : ids) {
        syncFolder(Garage::root(m_game) + id);
        syncFolder(Garage::root(m_game) + id + QStringLiteral("/vidwall"));
    }
    syncFolder(Garage::root(m_game));
}

// The garage folders of cars that returned, when nothing is left in them; with no car parked,
// the lookup's cache, and the garage itself when nothing else is kept there.
void GarageJournal::tidy() const {
    for (const Move& m : m_moves)
        if (!m.park) {
            const QString car = Garage::root(m_game) + m.id;
            QDir().rmdir(car + QStringLiteral("/vidwall"));
            QDir().rmdir(car);
        }
    if (Garage::parkedIn(m_game).isEmpty()) {
        QFile::remove(Garage::root(m_game) + QStringLiteral("IDENTITIES.json"));
        QDir().rmdir(Garage::root(m_game));
    }
}

bool GarageJournal::run(const std::function<int(int)>& beforeStep, QString* error) {
    if (m_moves.isEmpty())
        return true;
    int step = 0;
    const auto killed = [&] {
        const bool kill = beforeStep && beforeStep(step) != 0;
        ++step;
        if (kill)
            *error = QStringLiteral("stopped at step %1").arg(step - 1);
        return kill;
    };
    // The folders a parked car goes into, and the game's folders a returning one goes into.
    for (const Move& m : std::as_const(m_moves)) {
        const QString target = m.park ? garageSide(m) : gameSide(m);
        if (exists(target)) {
            *error = QStringLiteral("cannot move %1 %2: \"%3\" exists")
                         .arg(m.id, m.part == QLatin1String("picture") ? m.picture : m.part,
                              target);
            return false;
        }
        if (!QDir().mkpath(QFileInfo(target).path())) {
            *error = QStringLiteral("cannot create the folder \"%1\"").arg(QFileInfo(target).path());
            return false;
        }
    }
    if (killed())
        return false;
    QDir().mkpath(Garage::root(m_game));
    if (!writeJournal(error))
        return false;
    for (qsizetype i = 0; i < m_moves.size(); ++i) {
        if (killed())
            return false;
        const Move& m = m_moves.at(i);
        const QString from = m.park ? gameSide(m) : garageSide(m);
        const QString to = m.park ? garageSide(m) : gameSide(m);
        if (!exists(to) && QDir().rename(from, to))
            continue;
        *error = QStringLiteral("cannot move \"%1\" to \"%2\"").arg(from, to);
        // Back the way it came, so that nothing has moved.
        for (qsizetype j = i - 1; j >= 0; --j) {
            const Move& back = m_moves.at(j);
            QDir().rename(back.park ? garageSide(back) : gameSide(back),
                          back.park ? gameSide(back) : garageSide(back));
        }
        syncFolders();
        QFile::remove(m_journal);
        return false;
    }
    if (killed())
        return false;
    syncFolders();
    QFile::remove(m_journal);
    tidy();
    return true;
}

QString GarageJournal::recover() {
    QFile file(m_journal);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines =
        QString::fromUtf8(file.read(kMaxJournalBytes)).split(u'\n', Qt::SkipEmptyParts);
    file.close();
    m_moves.clear();
    m_what.clear();
    if (lines.value(0) == kHeader) {
        for (const QString& text : lines.mid(1)) {
            if (text.startsWith(kWhat)) {
                m_what = text.mid(kWhat.size()).left(500);
                continue;
            }
            Move m;
            if (parse(text, m))
                m_moves.append(m);
        }
    }
    for (const Move& m : std::as_const(m_moves)) {
        const QString from = m.park ? gameSide(m) : garageSide(m);
        const QString to = m.park ? garageSide(m) : gameSide(m);
        if (exists(from) && !exists(to) && QDir().mkpath(QFileInfo(to).path()))
            QDir().rename(from, to);
    }
    syncFolders();
    QFile::remove(m_journal);
    tidy();
    for (QChar& c : m_what)
        if (c.unicode() < 0x20)
            c = u' ';
    return m_what.isEmpty() ? QStringLiteral("a move of cars to or from the garage") : m_what;
}
