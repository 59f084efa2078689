#include "core/download/ZipInstallRun.h"

#include "core/browser/DownloadSelection.h"
#include "core/download/DownloadLogText.h"
#include "core/gamedata/CarInstaller.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/Viv.h"
#include "core/session/Session.h"
#include "platform/ProgramEnd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kInstallFailed = QStringLiteral("Installation failed: ");

// The installer's error lines as one reason, without their "Installation failed: " prefix.
QString reasonOf(const QString& errorText) {
    QStringList reasons;
    for (QString l : errorText.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        if (l.startsWith(kInstallFailed))
            l = l.mid(kInstallFailed.size());
        reasons.append(l);
    }
    return reasons.join(QStringLiteral("; "));
}

// Copies the ZIP to where a download would have left it.
bool placeZip(const QString& zipPath, const QString& target, QString& reason) {
    const QFileInfo info(zipPath);
    if (!info.exists()) {
        reason = QStringLiteral("there is no file \"%1\"").arg(zipPath);
        return false;
    }
    if (!info.isFile()) {
        reason = QStringLiteral("\"%1\" is not a file").arg(zipPath);
        return false;
    }
    QFile::remove(target);
    QFile source(zipPath);
    if (!source.copy(target)) {
        reason = QStringLiteral("cannot copy \"%1\" to \"%2\": %3")
                     .arg(zipPath, target, source.errorString());
        return false;
    }
    return true;
}

} // namespace

ZipInstallRun::ZipInstallRun(Session& session, ProgramEnd& programEnd,
                             MessageBoxService& notices, const Clock& clock)
    : m_session(session), m_end(programEnd), m_notices(notices), m_clock(clock) {}

QString ZipInstallRun::defaultName(const QString& zipPath) {
    return QFileInfo(zipPath).completeBaseName();
}

QString ZipInstallRun::limitRefusal(int zipCount, int installed) {
    if (!DownloadSelection::exceedsLimit(zipCount, installed))
        return {};
    const int over = zipCount + installed - DownloadSelection::kMaxInstalledCars;
    return QStringLiteral("the game takes at most %1 cars: %2 are installed, so %3 more would "
                          "make %4. Leave out %5 of the ZIPs. Nothing was installed.")
        .arg(DownloadSelection::kMaxInstalledCars)
        .arg(installed)
        .arg(zipCount)
        .arg(zipCount + installed)
        .arg(over);
}

QString ZipInstallRun::line(const Result& result) {
    QString text = result.car.zipPath + QStringLiteral(": ");
    if (!result.installed())
        return text + QStringLiteral("failed: ") + result.failure;
    text += QStringLiteral("installed as %1, serial number %2").arg(result.carId).arg(result.serial);
    if (!result.warning.isEmpty())
        text += QStringLiteral(". ") + result.warning;
    return text;
}

QList<ZipInstallRun::Result> ZipInstallRun::run(const QList<Car>& cars) {
    QList<Result> results;
    const QString work = m_session.workDir();
    QDir().mkpath(work);
    // The serial check compares the new car with the tables of the last scan.
    ScanCarSerials(m_session, m_notices);
    for (int n = 1; n <= cars.size(); ++n) {
        if (m_end.ended())
            break;
        results.append(installOne(n, cars.at(n - 1)));
        DownloadLogText::writeLogFile(work + QStringLiteral("DOWNLOAD.LOG"), m_log);
        ScanCarSerials(m_session, m_notices);
        if (onCar)
            onCar(results.last());
    }
    return results;
}

ZipInstallRun::Result ZipInstallRun::installOne(int n, const Car& car) {
    Result result;
    result.car = car;
    const QString work = m_session.workDir();
    const QString zipCopy = work + QStringLiteral("CAR%1.ZIP").arg(n);
    m_log += DownloadLogText::header(car.name, DownloadLogText::stamp(m_clock));
    QString errorText;
    QString reason;
    const bool placed = placeZip(car.zipPath, zipCopy, reason);
    m_log += DownloadLogText::endLine(DownloadLogText::stamp(m_clock));
    if (placed) {
        CarInstaller installer(m_session, m_end);
        installer.timeOfDaySeconds = timeOfDaySeconds;
        const qsizetype before = m_log.size();
        installer.InstallCar(qint16(n), car.name, errorText, m_log);
        result.warning = m_log.mid(before).simplified();
        result.carId = installer.carId();
        if (result.installed()) {
            const qint16 serial =
                ReadViv(CarArchivePath(m_session, result.carId), QString(), 1);
            result.serial = qMax<qint16>(serial, 0);
        } else {
            reason = reasonOf(errorText);
        }
    } else {
        errorText = reason;
    }
    result.failure = result.installed() ? QString() : reason;
    m_log += DownloadLogText::errorsLine(errorText.isEmpty() ? QStringLiteral("(none)")
                                                             : errorText);
    // The copy and what the extractor unpacked are of no further use.
    QFile::remove(zipCopy);
    QDir(work + QStringLiteral("CAR%1").arg(n)).removeRecursively();
    return result;
}
