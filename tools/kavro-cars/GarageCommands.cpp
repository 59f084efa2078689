#include "GarageCommands.h"

#include "core/gamedata/CarSerials.h"
#include "core/gamedata/CarSets.h"
#include "core/gamedata/Garage.h"
#include "core/session/Session.h"
#include "core/gamedata/Viv.h"

namespace {

int fail(QTextStream& err, const QString& message) {
    err << "kavro-cars: " << message << Qt::endl;
    return 1;
}

// "ABCD parked" / "ABCD returned, serial number 3. WARNING: ..."
void report(Session& session, const Garage::Result& r, const QStringList& returned,
            QTextStream& out) {
    for (const QString& id : r.moved) {
        if (!returned.contains(id)) {
            out << id << " parked\n";
            continue;
        }
        out << id << " returned, serial number "
            << qMax<qint16>(ReadViv(CarArchivePath(session, id), QString(), 1), 0);
        for (const QString& w : r.warnings)
            if (w.startsWith(id + QStringLiteral(": ")))
                out << ". " << w.mid(id.size() + 2);
        out << '\n';
    }
    out << Qt::flush;
}

int moveResult(Session& session, const Garage::Result& r, const QStringList& returned,
               QTextStream& out, QTextStream& err) {
    if (!r.ok)
        return fail(err, r.error + (r.error.endsWith(u'.') ? QStringLiteral(" ") : QStringLiteral(". ")) +
                             QStringLiteral("Nothing was moved."));
    report(session, r, returned, out);
    return 0;
}

int setCommand(Session& session, const QStringList& operands, QTextStream& out,
               QTextStream& err) {
    const QString verb = operands.value(0);
    CarSets sets(session.GamePath);
    if (verb == QLatin1String("list")) {
        if (operands.size() != 1)
            return fail(err, QStringLiteral("set list takes no arguments"));
        for (const CarSets::Set& set : sets.list())
            out << set.name << ": " << (set.cars.isEmpty() ? QStringLiteral("(no cars)")
                                                           : set.cars.join(u' '))
                << '\n';
        out << Qt::flush;
        return 0;
    }
    if (operands.size() != 2 || (verb != QLatin1String("save") && verb != QLatin1String("use") &&
                                 verb != QLatin1String("delete")))
        return fail(err, QStringLiteral("set needs save NAME, use NAME, list or delete NAME"));
    const QString name = operands.at(1);
    QString why;
    if (verb == QLatin1String("save")) {
        const QStringList cars = InstalledCarIds(session);
        if (!sets.save(name, cars, &why))
            return fail(err, why);
        out << "Set \"" << name << "\" saved: " << cars.size() << " cars" << Qt::endl;
        return 0;
    }
    if (verb == QLatin1String("delete")) {
        if (!sets.remove(name, &why))
            return fail(err, why);
        out << "Set \"" << name << "\" deleted" << Qt::endl;
        return 0;
    }
    CarSets::Set set;
    if (!sets.find(name, set))
        return fail(err, QStringLiteral("there is no set \"%1\"").arg(name));
    Garage garage(session);
    const QStringList parked = garage.parkedIds();
    QStringList returning;
    for (const QString& id : std::as_const(set.cars))
        for (const QString& p : parked)
            if (p.compare(id, Qt::CaseInsensitive) == 0)
                returning.append(p);
    const Garage::Result r = garage.switchTo(set.cars);
    const int status = moveResult(session, r, returning, out, err);
    if (status == 0)
        out << "Set \"" << set.name << "\" in use: " << garage.carsInGame() << " of "
            << Garage::kMaxCarsInGame << " cars in the game" << Qt::endl;
    return status;
}

} // namespace

namespace GarageCommands {

bool isGarageCommand(const QString& command) {
    return command == QLatin1String("park") || command == QLatin1String("unpark") ||
           command == QLatin1String("set");
}

bool onlyReads(const QString& command, const QStringList& operands) {
    return command == QLatin1String("set") && operands.value(0) == QLatin1String("list");
}

int run(Session& session, const QString& command, const QStringList& operands, QTextStream& out,
        QTextStream& err) {
    if (command == QLatin1String("set"))
        return setCommand(session, operands, out, err);
    if (operands.isEmpty())
        return fail(err, QStringLiteral("%1 needs at least one car id").arg(command));
    Garage garage(session);
    if (command == QLatin1String("park"))
        return moveResult(session, garage.park(operands), {}, out, err);
    const Garage::Result r = garage.unpark(operands);
    return moveResult(session, r, r.moved, out, err);
}

QString helpText() {
    return QStringLiteral(
        "  park ID...\n"
        "      Moves each car out of the game into the game's garage (Data/.kavro-garage): its\n"
        "      folder, save folder and video-wall pictures, whole. The game no longer sees it;\n"
        "      list shows it with the mark \"parked\".\n"
        "  unpark ID...\n"
        "      Brings parked cars back, whole, all or none: refused when the game would hold\n"
        "      more than 50 cars. A serial number another car holds is changed as an install\n"
        "      changes it.\n"
        "  set save NAME | set use NAME | set list | set delete NAME\n"
        "      A set is a named list of cars. save keeps the cars in the game now; use parks\n"
        "      every car not in the set and brings back the set's parked cars, all or none; list\n"
        "      shows the sets, delete forgets one. Sets are kept in the game's garage.\n");
}

} // namespace GarageCommands
