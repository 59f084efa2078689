#pragma once

#include <QByteArray>
#include <QString>

class Session;

// What a car is, whatever its car id, serial number, folder or ZIP name: the SHA-256 of its
// archive's entries with the bytes the installer writes left out. Every entry counts by its name
// (without regard to case) and its bytes, in name order; in every "fedata.*" entry the serial
// byte (798) and the car id (274..277) are masked, in every "carp*.txt" entry the line after each
// line ending in "(0)" is left out and line ends do not count. A car installed by hand, renamed,
// renumbered or installed from a renamed ZIP therefore has the same identity as its ZIP's car.
namespace CarIdentity {

// The identity (64 lowercase hex digits) of the archive at vivPath; empty when it is not a valid
// archive or cannot be read (why in *error).
QString ofArchive(const QString& vivPath, QString* error = nullptr);
// The same for an archive's bytes.
QString ofArchiveBytes(const QByteArray& viv);
// The identity of the car in a car ZIP (its one CAR.VIV, in any folder and letter case); empty
// when the ZIP holds none, or more than one, or cannot be read.
QString ofZip(const QString& zipPath);
// The SHA-256 of a file's bytes, in lowercase hex; empty when it cannot be read.
QString sha256OfFile(const QString& path);

} // namespace CarIdentity
