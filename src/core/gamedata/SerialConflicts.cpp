#include "core/gamedata/SerialConflicts.h"

#include "core/gamedata/CarSerials.h"
#include "core/gamedata/Viv.h"
#include "core/session/Session.h"

namespace {
constexpr int kHighestSerial = 50;
}

qint16 FindSerialConflict(const Session& session, qint16 serial, int index) {
    const int n = session.installedCount();
    for (int j = 1; j <= n; ++j)
        if (session.InstalledSerials[j] == serial && j != index)
            return serial;
    return 0;
}

qint16 FindFreeSerial(const Session& session) {
    bool held[kHighestSerial + 1] = {};
    const int n = session.installedCount();
    for (int j = 1; j <= n; ++j) {
        const qint16 s = session.InstalledSerials[j];
        if (s >= 1 && s <= kHighestSerial)
            held[s] = true;
    }
    for (int s = 1; s <= kHighestSerial; ++s)
        if (!held[s])
            return qint16(s);
    return 0;
}

SerialCheckResult CheckSerialConflit(Session& session, const QString& archivePath,
                                     const QString& carId) {
    SerialCheckResult result;
    QString failure;
    const qint16 serial = ReadViv(archivePath, QString(), 1, &failure);
    if (!failure.isEmpty()) {
        result.error = failure;
        return result;
    }
    if (serial < 0) {
        result.error = kInvalidNewArchiveError;
        return result;
    }

    if (serial == 0) {
        // No serial to check (no "fedata.eng"): the other entries keep their serial bytes.
        if (!SetCarId(session, archivePath, carId, &result.error))
            return result;
        result.ok = true;
        return result;
    }

    QString warning;
    qint16 use = serial;
    const int n = session.installedCount();
    for (int j = 1; j <= n; ++j) {
        if (session.InstalledSerials[j] != serial)
            continue;
        const QString with = QStringLiteral("\r\nWARNING: Serial Number conflit with [") +
                             session.InstalledCarFolders[j] + QStringLiteral("]. ");
        use = FindFreeSerial(session);
        if (use == 0) {
            // Every serial is held: the car keeps its own rather than one that is no serial.
            use = serial;
            warning = with + kNoFreeSerialWarning + QStringLiteral("\r\n\r\n");
        } else {
            warning = with + QStringLiteral("Serial Number changed automatically.\r\n\r\n");
        }
        break;
    }
    if (!SetCarSerial(session, archivePath, quint8(use), carId, &result.error))
        return result;
    result.ok = true;
    result.warning = warning;
    return result;
}

QStringList FixSerialConflicts(Session& session, MessageBoxService& prompts,
                               const std::function<bool()>& stopRequested) {
    ScanCarSerials(session, prompts);
    QStringList lines;
    const int n = session.installedCount();
    for (int d = 1; d <= n; ++d) {
        const qint16 old = session.InstalledSerials[d];
        if (FindSerialConflict(session, old, d) == 0)
            continue;
        if (stopRequested && stopRequested())
            return lines;
        const qint16 fresh = FindFreeSerial(session);
        const QString id = session.InstalledCarFolders[d];
        QString why = kNoFreeSerialReason;
        if (fresh == 0 ||
            !SetCarSerial(session, CarArchivePath(session, id), quint8(fresh), QString(), &why)) {
            lines.append(id.toUpper() + kSerialNotChanged + why);
            continue;
        }
        lines.append(id.toUpper() + QStringLiteral(" had a conflit. SN changed from ") +
                     QString::number(old) + QStringLiteral(" to ") + QString::number(fresh) + u'.');
        session.InstalledSerials[d] = fresh;
    }
    if (lines.isEmpty())
        lines.append(kNoConflitsLine);
    return lines;
}
