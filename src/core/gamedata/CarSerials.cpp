// PLACEHOLDER: the game-data work replaces this file with the real scan, count and rewrite.
#include "core/gamedata/CarSerials.h"

#include "core/session/Session.h"

void ScanCarSerials(Session& session, MessageBoxService&) { session.resetInstalled(); }

qint16 CountInstalledCars(const Session&) { return 0; }

bool SetCarSerial(const Session&, const QString&, quint8, const QString&, QString* error) {
    if (error)
        *error = QStringLiteral("not built yet");
    return false;
}
