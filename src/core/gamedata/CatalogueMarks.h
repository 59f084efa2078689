#pragma once

#include <QHash>
#include <QString>

class Session;

// The marks the car browser shows beside a catalogue's entries: "installed" for an entry Kavro
// installed a car from (the origin recorded with the car names the catalogue and the entry)
// whose car is in the game now, "parked" when that car is parked in the game's garage. A car
// removed for good, or installed from another catalogue, leaves no mark.
namespace CatalogueMarks {

inline const QString kInstalled = QStringLiteral("installed");
inline const QString kParked = QStringLiteral("parked");

// Entry name -> mark, for the entries of the catalogue at address catalogue that have one. Reads
// the recorded origins, the game's cars and the garage once.
QHash<QString, QString> of(const Session& session, const QString& catalogue);

} // namespace CatalogueMarks
