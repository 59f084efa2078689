#include "core/download/ZipInstallRun.h"

#include "core/browser/DownloadSelection.h"
#include "core/download/DownloadDisplay.h"
#include "core/download/DownloadLogText.h"
#include "core/download/DownloadRun.h"
#include "core/download/DownloadWindowState.h"
#include "core/download/HttpTransfer.h"
#include "core/gamedata/CarInstaller.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/Viv.h"
#include "core/session/AppContext.h"
#include "core/session/Session.h"
#include "platform/ProgramEnd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const QString kInstallFailed = QStringLiteral("Installation failed: ");

// The car's errors as one reason, without the installer's "Installation failed: " prefix.
QString reasonOf(const QString& errorText) {
    QStringList reasons;
    for (QString l : errorText.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        if (l.startsWith(kInstallFailed))
            l = l.mid(kInstallFailed.size());
        reasons.append(l);
    }
    return reasons.join(QStringLiteral("; "));
}

// Why the ZIP cannot be installed at all; empty when it is a file.
QString zipRefusal(const QString& zipPath) {
    const QFileInfo info(zipPath);
    if (!info.exists())
        return QStringLiteral("there is no file \"%1\"").arg(zipPath);
    if (!info.isFile())
        return QStringLiteral("\"%1\" is not a file").arg(zipPath);
    return {};
}

} // namespace

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
    text +=
        QStringLiteral("installed as %1, serial number %2").arg(result.carId).arg(result.serial);
    if (!result.warning.isEmpty())
        text += QStringLiteral(". ") + result.warning;
    return text;
}

QList<ZipInstallRun::Result> ZipInstallRun::run(const QList<Car>& cars) {
    Session& session = *m_ctx.session;
    const QString work = session.workDir();
    QDir().mkpath(work);

    // The download run's steps, with the ZIP taking the download's place: copied into the work
    // folder, then installed by the car installer, whose car id and warning the result keeps.
    Result current;
    DownloadRun::Steps steps = DownloadRun::carSteps(m_ctx);
    steps.install = [&](qint16 n, const QString& name, QString& errorText, QString& downloadLog) {
        // The ZIP is unpacked where it lies, into a folder of its own in the work folder: the
        // player's file is never copied over, removed or named by a work copy.
        if (const QString why = zipRefusal(current.car.zipPath); !why.isEmpty()) {
            errorText += why + QStringLiteral("\r\n");
            return;
        }
        QTemporaryDir extraction(work + QStringLiteral("CAR%1-XXXXXX").arg(n));
        CarInstaller installer(session, *m_ctx.programEnd);
        installer.timeOfDaySeconds = timeOfDaySeconds;
        installer.zipFile = current.car.zipPath;
        installer.again = again;
        installer.extractionFolder = extraction.path();
        const qsizetype before = downloadLog.size();
        installer.InstallCar(n, name, errorText, downloadLog);
        current.warning = downloadLog.mid(before).simplified();
        current.carId = installer.carId();
    };
    SilentDisplay display; // nothing is downloaded, so there is nothing to show
    DownloadWindowState state;
    HttpTransfer inet(m_ctx.network);
    DownloadRun downloadRun(m_ctx, inet, display, state, steps);

    // The serial check compares each new car with the tables of the last scan.
    ScanCarSerials(session, *m_ctx.prompts);
    QList<Result> results;
    for (int n = 1; n <= cars.size(); ++n) {
        if (m_ctx.programEnd->ended())
            break;
        current = Result{cars.at(n - 1), {}, 0, {}, {}};
        const QString errors = downloadRun.installDownloadedCar(qint16(n), current.car.name);
        if (m_ctx.programEnd->ended() && !current.installed()) {
            // Ended while the extractor ran: nothing of this car reached the game.
            state.DownloadLog += DownloadLogText::errorsLine(QStringLiteral("Cancelled by User"));
            break;
        }
        if (current.installed())
            current.serial =
                qMax<qint16>(ReadViv(CarArchivePath(session, current.carId), QString(), 1), 0);
        else
            current.failure = reasonOf(errors);
        results.append(current);
        if (onCar)
            onCar(current);
    }
    // Written once at the end, as the download run does: each save is flushed to disk, which
    // after every car would cost more than a car's install takes on a busy disk.
    downloadRun.writeLog();
    return results;
}
