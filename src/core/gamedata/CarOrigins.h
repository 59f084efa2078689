#pragma once

#include <QList>
#include <QString>

// Where a car Kavro installed came from.
struct CarOrigin {
    QString carId;     // the car id it was installed as
    QString zipName;   // the ZIP's file name (without folders)
    QString zipSha256; // the ZIP's SHA-256, lowercase hex
    QString identity;  // the car's identity (CarIdentity), lowercase hex
    QString catalogue; // for a download: the catalogue's address; else empty
    QString entry;     // for a download: the catalogue entry's name; else empty
};

// The origins of the cars Kavro installed, kept in the game beside the garage (so they travel
// with it): Data/.kavro-garage/ORIGINS.json, written whole under a temporary name and renamed.
// What is read back is trusted only entry by entry: a car id of four plain characters, hashes of
// 64 hex digits, texts without control characters; anything else is left out.
namespace CarOrigins {

QString filePath(const QString& gamePath);
QList<CarOrigin> load(const QString& gamePath);
// The origin of carId (without regard to case); carId empty in the result when there is none.
CarOrigin find(const QString& gamePath, const QString& carId);
// Records origin, replacing what was recorded for its car id.
bool record(const QString& gamePath, const CarOrigin& origin, QString* error = nullptr);
// Forgets carId's origin (a car removed for good).
bool forget(const QString& gamePath, const QString& carId, QString* error = nullptr);

} // namespace CarOrigins
