#pragma once

#include <QString>

class MessageBoxService;
class Session;

// Serial numbers of installed cars: the scan into the session's tables, the count, the rewrite.
// An installed car is every entry of the game's Data/Cars whose name is four characters long.

// Fills Session::InstalledCarFolders and InstalledSerials; a car with an invalid archive gets the
// "Serial Number" box and serial 0.
void ScanCarSerials(Session& session, MessageBoxService& prompts);

// Number of installed cars (no archive is opened).
qint16 CountInstalledCars(const Session& session);

// Writes serial into every "fedata.*" entry (offset 798) and after each "(0)" line of every
// "carp*.txt" entry of the archive, and carId at offset 274 when it has four characters. The old
// archive is replaced only by a complete new one. False (with a reason in error) leaves the
// archive as it was.
bool SetCarSerial(const Session& session, const QString& archivePath, quint8 serial,
                  const QString& carId, QString* error = nullptr);
