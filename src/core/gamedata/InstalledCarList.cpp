#include "core/gamedata/InstalledCarList.h"

#include "core/gamedata/CarSerials.h"
#include "core/gamedata/Viv.h"
#include "core/session/Session.h"
#include "platform/AnsiText.h"
#include "platform/GameFs.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QStringList InstalledCar::marks() const {
    QStringList out;
    if (parked)
        out.append(QStringLiteral("parked"));
    if (!conflictsWith.isEmpty())
        out.append(QStringLiteral("conflict with ") + conflictsWith.join(QStringLiteral(", ")));
    if (invalidArchive)
        out.append(QStringLiteral("invalid archive"));
    return out;
}

namespace InstalledCarList {

QList<InstalledCar> scan(const Session& session) {
    QList<InstalledCar> cars;
    for (const QString& id : InstalledCarIds(session)) {
        InstalledCar car;
        car.id = id;
        QString failure;
        const qint16 serial = ReadViv(CarArchivePath(session, id), QString(), 1, &failure);
        car.invalidArchive = serial < 0 || !failure.isEmpty();
        car.serial = car.invalidArchive ? 0 : serial;
        QStringList lines;
        const QString idText =
            GameFs::resolve(session.GamePath, QStringLiteral("Data/Cars/%1/ID.TXT").arg(id));
        if (AnsiText::readLines(idText, lines) && !lines.isEmpty())
            car.name = lines.first().trimmed();
        cars.append(car);
    }
    // A serial of 0 (none, or an invalid archive) never conflicts.
    for (InstalledCar& car : cars)
        for (const InstalledCar& other : std::as_const(cars))
            if (car.serial != 0 && other.serial == car.serial && other.id != car.id)
                car.conflictsWith.append(other.id);
    return cars;
}

QString line(const InstalledCar& car) {
    QString text = car.id + u' ' + QStringLiteral("%1").arg(car.serial, 3);
    if (!car.name.isEmpty())
        text += QStringLiteral("  ") + car.name;
    for (const QString& mark : car.marks())
        text += QStringLiteral("  [") + mark + u']';
    return text;
}

QByteArray json(const QList<InstalledCar>& cars) {
    QJsonArray array;
    for (const InstalledCar& car : cars)
        array.append(
            QJsonObject{{QStringLiteral("id"), car.id},
                        {QStringLiteral("serial"), car.serial},
                        {QStringLiteral("name"), car.name},
                        {QStringLiteral("parked"), car.parked},
                        {QStringLiteral("conflictWith"),
                         QJsonArray::fromStringList(car.conflictsWith)},
                        {QStringLiteral("invalidArchive"), car.invalidArchive}});
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

} // namespace InstalledCarList
