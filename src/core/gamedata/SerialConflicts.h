#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class MessageBoxService;
class Session;

// Serial-number conflicts between installed cars (serials handed out are 1 to 50). A serial of 0
// (no serial, or an invalid archive) never conflicts.

// serial when another car than index holds it, else 0.
qint16 FindSerialConflict(const Session& session, qint16 serial, int index);
// Smallest of 1..50 that no installed car holds; 0 when all are held.
qint16 FindFreeSerial(const Session& session);

struct SerialCheckResult {
    bool ok = false; // the archive was rewritten
    QString warning; // the log's warning block when the serial had to change, else empty
    QString error;   // why it failed, when !ok
};

// When serials 1 to 50 are all held a car keeps its serial: the install's warning says so (after
// "Serial Number conflit with [ABCD]. "), and the fixer gives this reason for a car it could not
// renumber.
inline const QString kNoFreeSerialWarning =
    QStringLiteral("No free Serial Number is left, Serial Number not changed.");
inline const QString kNoFreeSerialReason = QStringLiteral("no free serial number is left");

// The reason CheckSerialConflit gives for a new car whose archive is not a valid VIV archive.
inline const QString kInvalidNewArchiveError =
    QStringLiteral("the car's CAR.VIV is not a valid car archive");

// Checks the newly installed car's serial against the installed cars (tables of the last scan),
// takes the smallest free one when it is taken (keeps it, with a warning, when none is free), and
// writes the serial and the car id. A serial of 0 (no "fedata.eng") writes the car id alone.
// An invalid archive is not rewritten (error = kInvalidNewArchiveError); a rewrite that fails
// leaves the archive as it was and gives no warning (its serial did not change).
SerialCheckResult CheckSerialConflit(Session& session, const QString& archivePath,
                                     const QString& carId);

// The fixer's whole check: scans the installed cars (with the scan's boxes), renumbers every car
// that shares its serial with a later car in table order, and returns the result lines: one per
// car renumbered ("ABCD had a conflit. SN changed from 5 to 2."), one per car that could not be
// rewritten (its serial stays as it was), or "No conflits found.".
// stopRequested, when given, is asked before each car is renumbered: true stops the check there.
QStringList FixSerialConflicts(Session& session, MessageBoxService& prompts,
                               const std::function<bool()>& stopRequested = {});

// The part of a result line that says a car could not be renumbered.
inline const QString kSerialNotChanged =
    QStringLiteral(" had a conflit. SN could not be changed: ");

inline const QString kNoConflitsLine = QStringLiteral("No conflits found.");
