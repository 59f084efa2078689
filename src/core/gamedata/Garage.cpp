#include "core/gamedata/Garage.h"

#include "core/gamedata/CarOrigins.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/GameLock.h"
#include "core/gamedata/GarageJournal.h"
#include "core/gamedata/InstallStaging.h"
#include "core/gamedata/SerialConflicts.h"
#include "core/gamedata/Viv.h"
#include "core/session/Session.h"
#include "platform/AnsiText.h"
#include "platform/GameFs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

const QString kGone = QStringLiteral(".gone");

bool exists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool sameId(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The entry of list equal to id without regard to case; empty when none.
QString spelled(const QStringList& list, const QString& id) {
    for (const QString& name : list)
        if (sameId(name, id))
            return name;
    return {};
}

QString joined(const QStringList& ids) {
    return ids.join(QStringLiteral(", "));
}

} // namespace

Garage::Garage(Session& session) : m_session(session) {}

std::function<int(int)> Garage::stepHook() const {
    if (!beforeStep)
        return {};
    return [this](int step) { return beforeStep(step) == StepAnswer::Kill ? 1 : 0; };
}

QString Garage::root(const QString& gamePath) {
    return GameFs::resolve(GameFs::withSlash(gamePath), QStringLiteral("Data/")) +
           QStringLiteral(".kavro-garage/");
}

QString Garage::archivePath(const QString& gamePath, const QString& id) {
    return GameFs::resolve(root(gamePath), id + QStringLiteral("/car/CAR.VIV"));
}

QStringList Garage::parkedIn(const QString& gamePath) {
    QStringList ids;
    const QString garage = root(gamePath);
    for (const QString& name :
         QDir(garage).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks))
        if (GarageJournal::isCarId(name) && exists(garage + name + QStringLiteral("/car")))
            ids.append(name);
    std::sort(ids.begin(), ids.end(), GameFs::nameLess);
    return ids;
}

QStringList Garage::parkedIds() const {
    return parkedIn(m_session.GamePath);
}

QString Garage::parkedName(const QString& id) const {
    return spelled(parkedIds(), id);
}

QList<InstalledCar> Garage::parkedCars() const {
    QList<InstalledCar> cars;
    for (const QString& id : parkedIds()) {
        InstalledCar car;
        car.id = id;
        car.parked = true;
        QString failure;
        const qint16 serial = ReadViv(archivePath(m_session.GamePath, id), QString(), 1, &failure);
        car.invalidArchive = serial < 0 || !failure.isEmpty();
        car.serial = car.invalidArchive ? 0 : serial;
        QStringList lines;
        if (AnsiText::readLines(
                GameFs::resolve(root(m_session.GamePath), id + QStringLiteral("/car/ID.TXT")),
                lines) &&
            !lines.isEmpty())
            car.name = lines.first().trimmed();
        cars.append(car);
    }
    return cars;
}

int Garage::carsInGame() const {
    return CountInstalledCars(m_session);
}

QString Garage::limitRefusal(int returning, int inGame) {
    if (returning + inGame <= kMaxCarsInGame)
        return {};
    // The words of the car browser's limit, with the cars to return as the ones selected.
    return QStringLiteral("You are only allowed to have a maximum of 50 cars installed with NFSHS. "
                          "You have to deselect %1 cars out of the %2 you selected, because you "
                          "already have %3 cars installed.")
        .arg(returning + inGame - kMaxCarsInGame)
        .arg(returning)
        .arg(inGame);
}

Garage::Result Garage::park(const QStringList& ids) {
    Result result;
    // Every change of the game's cars holds the game's lock (at once when this program has it).
    GameLock lock(m_session.GamePath);
    if (!lock.lock(&result.error, GameLock::kCommandWaitMs))
        return result;
    const QStringList installed = InstalledCarIds(m_session);
    QStringList names;
    for (const QString& id : ids) {
        const QString name = spelled(installed, id);
        if (name.isEmpty()) {
            result.error = parkedName(id).isEmpty()
                               ? QStringLiteral("no car %1 is installed").arg(id)
                               : QStringLiteral("%1 is already parked").arg(parkedName(id));
            return result;
        }
        if (!names.contains(name))
            names.append(name);
    }
    GarageJournal journal(m_session.GamePath);
    for (const QString& name : std::as_const(names))
        if (!journal.addPark(name, &result.error))
            return result;
    journal.describe(QStringLiteral("the park of %1").arg(joined(names)));
    if (!journal.run(stepHook(), &result.error))
        return result;
    result.ok = true;
    result.moved = names;
    ScanCarSerials(m_session);
    return result;
}

// Why the parked car id cannot come back under its id; empty when it can.
static QString takenRefusal(const Session& session, const QString& id) {
    const QString there = spelled(InstalledCarIds(session), id);
    if (!there.isEmpty())
        return QStringLiteral("%1 cannot return: a car %2 is in the game").arg(id, there);
    if (!spelled(InstallStaging::heldIds(session.GamePath), id).isEmpty())
        return QStringLiteral("%1 cannot return: a car %1 is being installed").arg(id);
    if (const QString taken = GarageJournal::takenPlace(session.GamePath, id); !taken.isEmpty())
        return QStringLiteral("%1 cannot return: the game has %2 of another car").arg(id, taken);
    return {};
}

Garage::Result Garage::unpark(const QStringList& ids) {
    return moveCars({}, ids, false);
}

Garage::Result Garage::switchTo(const QStringList& ids) {
    const QStringList installed = InstalledCarIds(m_session);
    const QStringList parked = parkedIds();
    QStringList leaving, returning;
    bool known = ids.isEmpty();
    for (const QString& id : ids) {
        const QString here = spelled(installed, id);
        const QString away = here.isEmpty() ? spelled(parked, id) : QString();
        known = known || !here.isEmpty() || !away.isEmpty();
        if (!away.isEmpty() && !returning.contains(away))
            returning.append(away);
    }
    if (!known) {
        Result result;
        result.error = QStringLiteral("none of the cars %1 is in the game or the garage")
                           .arg(ids.join(u' '));
        return result;
    }
    for (const QString& name : installed)
        if (spelled(ids, name).isEmpty())
            leaving.append(name);
    return moveCars(leaving, returning, true);
}

Garage::Result Garage::moveCars(const QStringList& leaving, const QStringList& ids, bool isSwitch) {
    Result result;
    GameLock lock(m_session.GamePath);
    if (!lock.lock(&result.error, GameLock::kCommandWaitMs))
        return result;
    QStringList returning;
    for (const QString& id : ids) {
        const QString name = parkedName(id);
        if (name.isEmpty()) {
            result.error = QStringLiteral("no car %1 is parked").arg(id);
            return result;
        }
        if (!returning.contains(name))
            returning.append(name);
    }
    // Everything is checked before anything moves: the limit, the car ids, the serial numbers.
    const int staying = carsInGame() - int(leaving.size());
    if (const QString refusal = limitRefusal(int(returning.size()), staying); !refusal.isEmpty()) {
        result.error = refusal;
        return result;
    }
    for (const QString& id : std::as_const(returning))
        if (const QString why = takenRefusal(m_session, id); !why.isEmpty()) {
            result.error = why;
            return result;
        }
    // The serial numbers of the cars that stay, then of each car returning, as an install checks
    // them: a returning car whose serial is held gets the smallest free one, written into its
    // archive while it is still in the garage.
    ScanCarSerials(m_session);
    for (qsizetype j = m_session.installedCount(); j >= 1; --j)
        if (leaving.contains(m_session.InstalledCarFolders[j])) {
            m_session.InstalledCarFolders.removeAt(j);
            m_session.InstalledSerials.removeAt(j);
        }
    for (const QString& id : std::as_const(returning)) {
        const QString viv = archivePath(m_session.GamePath, id);
        const SerialCheckResult serial = CheckSerialConflit(m_session, viv, id);
        if (!serial.ok && serial.error != kInvalidNewArchiveError) {
            result.error = QStringLiteral("%1 cannot return: %2").arg(id, serial.error);
            return result;
        }
        if (!serial.warning.isEmpty())
            result.warnings.append(id + QStringLiteral(": ") + serial.warning.simplified());
        m_session.InstalledCarFolders.append(id);
        m_session.InstalledSerials.append(qMax<qint16>(ReadViv(viv, QString(), 1), 0));
    }

    GarageJournal journal(m_session.GamePath);
    for (const QString& name : leaving)
        if (!journal.addPark(name, &result.error))
            return result;
    for (const QString& name : std::as_const(returning))
        if (!journal.addReturn(name, &result.error))
            return result;
    journal.describe(isSwitch ? QStringLiteral("the switch that parks %1 and returns %2")
                                    .arg(leaving.isEmpty() ? QStringLiteral("no car")
                                                           : joined(leaving),
                                         returning.isEmpty() ? QStringLiteral("no car")
                                                             : joined(returning))
                              : QStringLiteral("the return of %1").arg(joined(returning)));
    if (!journal.run(stepHook(), &result.error)) {
        result.warnings.clear();
        return result;
    }
    result.ok = true;
    result.moved = leaving + returning;
    ScanCarSerials(m_session);
    return result;
}

bool Garage::removeParked(const QString& id, QString* error) {
    const QString name = parkedName(id);
    if (name.isEmpty()) {
        if (error)
            *error = QStringLiteral("no car %1 is parked").arg(id);
        return false;
    }
    GameLock lock(m_session.GamePath);
    if (!lock.lock(error, GameLock::kCommandWaitMs))
        return false;
    // Out of the garage in one rename, then deleted: a removal killed half-way is finished by
    // recover().
    const QString garage = root(m_session.GamePath);
    const QString gone = garage + name + kGone;
    if (exists(gone))
        QDir(gone).removeRecursively();
    if (!QDir().rename(garage + name, gone)) {
        if (error)
            *error = QStringLiteral("cannot remove \"%1\"").arg(garage + name);
        return false;
    }
    QDir(gone).removeRecursively();
    CarOrigins::forget(m_session.GamePath, name);
    if (parkedIds().isEmpty()) {
        QFile::remove(garage + QStringLiteral("IDENTITIES.json"));
        QDir().rmdir(garage);
    }
    return true;
}

QStringList Garage::recover(const QString& gamePath) {
    const QString garage = root(gamePath);
    if (!QFileInfo(garage).isDir())
        return {};
    QStringList lines;
    GarageJournal journal(gamePath);
    if (const QString what = journal.recover(); !what.isEmpty())
        lines.append(what + QStringLiteral(" was finished"));
    // What a removal or an interrupted move left: removed cars, empty car folders.
    const QStringList names =
        QDir(garage).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& name : names) {
        if (name.endsWith(kGone) && GarageJournal::isCarId(name.chopped(kGone.size()))) {
            QDir(garage + name).removeRecursively();
        } else if (GarageJournal::isCarId(name) && !exists(garage + name + QStringLiteral("/car"))) {
            QDir().rmdir(garage + name + QStringLiteral("/vidwall"));
            QDir().rmdir(garage + name);
        }
    }
    return lines;
}
