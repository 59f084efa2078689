#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class Session;

// One installed car as a player sees it: its id, its serial number, the name its ID.TXT gives,
// and what is wrong with it.
struct InstalledCar {
    QString id;
    qint16 serial = 0;           // 0 when the archive holds none or is invalid
    QString name;                // the first line of ID.TXT; empty when there is none
    bool invalidArchive = false; // CAR.VIV missing, unreadable or not a valid car archive
    QStringList conflictsWith;   // the other cars holding the same serial number
    bool parked = false;         // in the game's garage, not in the game

    // "parked", "conflict with DMOB" (other cars joined by ", "), "invalid archive"; empty when
    // sound.
    QStringList marks() const;
};

// The installed cars in the scan's order (Data/Cars listed without regard to case), read without
// any message box and without changing anything.
namespace InstalledCarList {

QList<InstalledCar> scan(const Session& session);

// "DMOA   3  Demo Alpha  [conflict with DMOB]": id, serial right-aligned in three places, the
// name when there is one, then each mark in brackets.
QString line(const InstalledCar& car);

// The cars as a JSON array of objects, indented, ending in a line end: "id", "serial", "name",
// and the marks as data: "parked", "conflictWith" (the other cars' ids) and "invalidArchive".
QByteArray json(const QList<InstalledCar>& cars);

} // namespace InstalledCarList
