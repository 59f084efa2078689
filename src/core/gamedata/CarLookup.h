#pragma once

#include <QString>

class Session;

// Where a car already is: in the game (Data/Cars) or parked in the garage, and under which car id.
struct CarMatch {
    QString id;          // the car id it has there; empty when the car is in neither
    bool parked = false; // true: in the garage

    bool found() const { return !id.isEmpty(); }
    // "already installed as ABCD" / "already parked as ABCD"; empty when not found.
    QString refusal() const;
};

// Finds a car among the cars of the game and of its garage by its identity (see CarIdentity),
// by the ZIP it came from, or by the catalogue entry it was downloaded from. The game's cars are
// looked at first; among several copies, the first car id in listing order.
namespace CarLookup {

CarMatch byIdentity(const Session& session, const QString& identity);
// The ZIP's SHA-256 among the origins Kavro recorded, then its car's identity.
CarMatch byZip(const Session& session, const QString& zipPath);
// The catalogue entry among the origins Kavro recorded (catalogue address and entry name as the
// download had them) of cars that are still in the game or the garage.
CarMatch byCatalogueEntry(const Session& session, const QString& catalogue, const QString& entry);

} // namespace CarLookup
