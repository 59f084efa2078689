#pragma once

#include <QString>

class Session;

// Serial-number conflicts between installed cars (serials handed out are 1 to 50).

// serial when another car than index holds it, else 0.
qint16 FindSerialConflict(const Session& session, qint16 serial, int index);
// Smallest of 1..50 that no installed car holds; 0 when all are held.
qint16 FindFreeSerial(const Session& session);

struct SerialCheckResult {
    bool ok = false;  // the archive was rewritten
    QString warning;  // the log's warning block when the serial had to change, else empty
    QString error;    // why it failed, when !ok
};

// Checks the newly installed car's serial against the installed cars (tables of the last scan),
// takes the smallest free one when it is taken, and always writes the serial and the car id.
SerialCheckResult CheckSerialConflit(Session& session, const QString& archivePath,
                                     const QString& carId);
