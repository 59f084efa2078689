#pragma once

#include <QString>
#include <QStringList>

class MessageBoxService;
class Session;

// Serial numbers of installed cars: the scan into the session's tables, the count, the rewrite.
// An installed car is every entry of the game's Data/Cars whose name is four characters long
// (folders and plain files alike), in the listing's order (sorted without regard to case).
//
// Where a car keeps its serial number inside its archive:
//   "fedata.eng"          byte 798: the serial (the only copy that is read)
//   every "fedata.*"      byte 798: the serial; bytes 274..277: the car id (written on install)
//   every "carp*.txt"     the line after each line ending in "(0)": the serial in decimal

// The title and text of the box shown for a car whose archive is not a valid VIV archive.
inline const QString kInvalidSerialTitle = QStringLiteral("Serial Number");
QString InvalidSerialText(const QString& carId);

// Fills Session::InstalledCarFolders and InstalledSerials; a car with an invalid (or missing)
// archive gets the "Serial Number" box and serial 0. A car whose archive cannot be read at all
// (a plain file in Data/Cars, no permission) gets serial 0 without a box, and the scan goes on.
void ScanCarSerials(Session& session, MessageBoxService& prompts);
// The same scan without a box: returns the text of each box it would have shown, in table order.
QStringList ScanCarSerials(Session& session);

// Number of installed cars (no archive is opened).
qint16 CountInstalledCars(const Session& session);

// The four-character names of Data/Cars in listing order.
QStringList InstalledCarIds(const Session& session);

// GamePath + "Data/Cars/" + carId + "/CAR.VIV", each part matched without regard to case against
// what exists.
QString CarArchivePath(const Session& session, const QString& carId);

// Writes serial into every "fedata.*" entry (offset 798) and after each "(0)" line of every
// "carp*.txt" entry of the archive (a "(0)" line without a line after it gets the serial as a new
// last line; every line is written back with CR LF, or with LF when the entry's lines all end in
// a lone LF), and carId at offset 274 when it has four
// characters. The result is the archive that unpacking, editing those files and building again
// gives, but no entry is unpacked: no scratch file or work folder is used. The new archive is
// built beside the old one and replaces it only when complete. False (with a reason in error)
// leaves the archive byte for byte as it was.
bool SetCarSerial(const Session& session, const QString& archivePath, quint8 serial,
                  const QString& carId, QString* error = nullptr);

// Writes only carId at offset 274 of every "fedata.*" entry (when it has four characters); every
// serial byte stays as it was. Same guarantees as SetCarSerial.
bool SetCarId(const Session& session, const QString& archivePath, const QString& carId,
              QString* error = nullptr);
