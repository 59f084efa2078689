// PLACEHOLDER: the game-data work replaces this file with the real conflict rules.
#include "core/gamedata/SerialConflicts.h"

qint16 FindSerialConflict(const Session&, qint16, int) { return 0; }
qint16 FindFreeSerial(const Session&) { return 1; }
SerialCheckResult CheckSerialConflit(Session&, const QString&, const QString&) {
    return {false, {}, QStringLiteral("not built yet")};
}
