#include "core/gamedata/CarInstaller.h"

#include "core/gamedata/CarFolder.h"
#include "core/gamedata/CarIdentity.h"
#include "core/gamedata/CarLookup.h"
#include "core/gamedata/CarOrigins.h"
#include "core/gamedata/CarPaths.h"
#include "core/gamedata/Garage.h"
#include "core/gamedata/InstallStaging.h"
#include "core/gamedata/RandomCarId.h"
#include "core/gamedata/SerialConflicts.h"
#include "core/gamedata/Unzip.h"
#include "core/session/Session.h"
#include "platform/AnsiText.h"
#include "platform/DiskSync.h"
#include "platform/GameFs.h"
#include "platform/ProgramEnd.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QTimer>

namespace {

const QString kCarViv = QStringLiteral("CAR.VIV");
const QString kCarFec = QStringLiteral("CAR.FEC");
constexpr int kCheckEveryMs = 100;
constexpr int kMaxIdDraws = 10000;
// How long a stopped extractor has to clean up after SIGTERM before it is killed.
constexpr int kTermGraceMs = 2000;

// The file of folder named name without regard to case; empty when there is none.
QString findFile(const QString& folder, const QString& name) {
    const QString found = GameFs::findEntry(folder, name);
    if (found.isEmpty())
        return {};
    const QString path = GameFs::withSlash(folder) + found;
    return QFileInfo(path).isFile() ? path : QString();
}

// Empties folder (files and sub-folders), creating it when missing.
bool prepareExtractionFolder(const QString& folder, QString& reason, bool create = true) {
    QDir dir(folder);
    if (dir.exists()) {
        const QFileInfoList entries = dir.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                        QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo& e : entries) {
            const bool gone = e.isDir() && !e.isSymLink() ? QDir(e.filePath()).removeRecursively()
                                                          : QFile::remove(e.filePath());
            if (!gone) {
                reason = QStringLiteral("cannot empty the folder \"%1\"").arg(folder);
                return false;
            }
        }
        return true;
    }
    if (create && !QDir().mkpath(folder)) {
        reason = QStringLiteral("cannot create the folder \"%1\"").arg(folder);
        return false;
    }
    return true;
}

bool isDecimalDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// What an extractor said on standard error, on one line.
QString extractorMessage(QProcess& process) {
    const QString text = QString::fromLocal8Bit(process.readAllStandardError()).simplified();
    if (!text.isEmpty())
        return text;
    return QStringLiteral("the extractor ended with exit code %1").arg(process.exitCode());
}

// Asks the extractor to stop (SIGTERM), so that it can remove what it wrote; kills it when it
// has not ended after the grace time.
void stopProcess(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (process.waitForFinished(kTermGraceMs))
        return;
    process.kill();
    process.waitForFinished(kTermGraceMs);
}

} // namespace

CarInstaller::CarInstaller(Session& session, ProgramEnd& programEnd)
    : m_session(session), m_end(programEnd) {}

void CarInstaller::InstallCar(qint16 n, const QString& listLine, QString& errorText,
                              QString& downloadLog) {
    if (onStatus)
        onStatus(QStringLiteral("Installing Car..."));
    m_carId.clear();
    m_staging.reset();
    m_arrived = false;
    m_step = 0;
    QString reason;
    const Outcome outcome = install(n, listLine, downloadLog, reason);
    if (outcome == Outcome::Ended)
        return;
    if (outcome == Outcome::Failed) {
        if (m_staging && !m_arrived)
            m_staging->undo();
        m_carId.clear();
        errorText += QStringLiteral("Installation failed: ") + reason + QStringLiteral("\r\n");
    }
    if (onStatus)
        onStatus(QStringLiteral("."));
}

CarInstaller::Outcome CarInstaller::install(qint16 n, const QString& listLine, QString& downloadLog,
                                            QString& reason) {
    const QString work = GameFs::withSlash(m_session.workDir());
    const QString number = QString::number(n);
    const QString zip = zipFile.isEmpty()
                            ? work + QStringLiteral("CAR") + number + QStringLiteral(".ZIP")
                            : zipFile;
    const QString extraction =
        extractionFolder.isEmpty() ? work + QStringLiteral("CAR") + number : extractionFolder;

    if (!prepareExtractionFolder(extraction, reason))
        return Outcome::Failed;

    // The extractor runs to its end before anything is created in the game, so an install that
    // is cancelled or fails while unpacking leaves the game untouched.
    std::unique_ptr<QProcess> extractor = UNZIP(m_session.WinZipPath, zip, extraction, &reason);
    if (!extractor)
        return Outcome::Failed;
    if (const Outcome o = waitForExtractor(*extractor, reason); o != Outcome::Installed) {
        // A stopped extractor may have left part of the car behind.
        if (o == Outcome::Failed) {
            QString ignored;
            prepareExtractionFolder(extraction, ignored, false);
        }
        return o;
    }
    QString source;
    if (!findCarFolder(extraction, source, reason))
        return Outcome::Failed;
    source = GameFs::withSlash(source);

    // The same car already in the game or its garage, whatever its id or its ZIP's name.
    const QString identity = CarIdentity::ofArchive(findFile(source, kCarViv));
    if (!again) {
        if (const CarMatch match = CarLookup::byIdentity(m_session, identity); match.found()) {
            reason = match.refusal();
            return Outcome::Failed;
        }
    }

    const QString game = m_session.GamePath;
    const QString carsFolder = GameFs::resolve(game, QStringLiteral("Data/Cars/"));
    const QString saveCarsFolder = GameFs::resolve(game, QStringLiteral("SaveData/Cars/"));
    const QString vidwallFolder = GameFs::resolve(game, QStringLiteral("Data/FeArt/Vidwall/"));

    const QString id = pickCarId(carsFolder, saveCarsFolder, vidwallFolder, reason);
    if (id.isEmpty())
        return Outcome::Failed;
    const CarPaths paths(game, id);
    const QString saveFolder = saveCarsFolder + id;

    // Video wall: the first four-character picture, else every five-character one whose fifth
    // character is a digit. The pictures take their new names in the video-wall folder only; the
    // listing is taken once, before any picture is placed.
    QList<std::pair<QString, QString>> pictures; // source name, new name
    const QStringList four = GameFs::list(source, QStringLiteral("????.QFS"));
    if (!four.isEmpty()) {
        pictures.append({four.first(), id + QStringLiteral(".QFS")});
    } else {
        const QStringList five = GameFs::list(source, QStringLiteral("?????.QFS"));
        for (const QString& name : five)
            if (isDecimalDigit(name.at(4)))
                pictures.append({name, id + name.at(4) + QStringLiteral(".QFS")});
    }
    const QString fec = findFile(source, kCarFec);

    // The record of what the install places outside its car folder, written before any of it.
    QStringList record;
    for (const QString& folder : missingFolders(saveCarsFolder))
        record.append(InstallStaging::dirLine(paths.relative(folder)));
    record.append(InstallStaging::treeLine(paths.relative(saveFolder)));
    if (!pictures.isEmpty()) {
        for (const QString& folder : missingFolders(vidwallFolder))
            record.append(InstallStaging::dirLine(paths.relative(folder)));
        for (const auto& picture : std::as_const(pictures))
            record.append(InstallStaging::fileLine(
                paths.relative(GameFs::withSlash(vidwallFolder) + picture.second)));
    }

    m_staging = std::make_unique<InstallStaging>(game, id);
    if (const Outcome o = checkpoint(reason); o != Outcome::Installed)
        return o;
    if (!m_staging->begin(record, reason))
        return Outcome::Failed;

    // The car folder, assembled in the staging folder with its serial already unique.
    const QString stagedViv = m_staging->carFolder() + kCarViv;
    if (const Outcome o = checkpoint(reason); o != Outcome::Installed)
        return o;
    if (!copyFile(findFile(source, kCarViv), stagedViv, reason))
        return Outcome::Failed;
    // Save data and pictures, placed before the car arrives.
    if (const Outcome o = checkpoint(reason); o != Outcome::Installed)
        return o;
    if (!makeFolder(saveFolder, reason))
        return Outcome::Failed;
    if (!fec.isEmpty()) {
        if (const Outcome o = checkpoint(reason); o != Outcome::Installed)
            return o;
        if (!copyFile(fec, saveFolder + u'/' + kCarFec, reason))
            return Outcome::Failed;
    }
    if (!pictures.isEmpty() && !makeFolder(vidwallFolder, reason))
        return Outcome::Failed;
    for (const auto& [from, to] : pictures) {
        if (const Outcome o = checkpoint(reason); o != Outcome::Installed)
            return o;
        if (!copyFile(source + from, GameFs::withSlash(vidwallFolder) + to, reason))
            return Outcome::Failed;
    }

    if (const Outcome o = checkpoint(reason); o != Outcome::Installed)
        return o;
    const QString idText = m_staging->carFolder() + QStringLiteral("ID.TXT");
    if (!AnsiText::writeFile(idText, listLine + QStringLiteral("\r\n"))) {
        reason = QStringLiteral("cannot write \"%1\"").arg(idText);
        return Outcome::Failed;
    }
    if (const Outcome o = checkpoint(reason); o != Outcome::Installed)
        return o;
    const SerialCheckResult serial = CheckSerialConflit(m_session, stagedViv, id);
    if (!serial.ok) {
        reason = serial.error.isEmpty()
                     ? QStringLiteral("cannot write the serial number into \"%1\"").arg(stagedViv)
                     : serial.error;
        return Outcome::Failed;
    }

    // The car arrives in one rename, after the folders that received its save data and
    // pictures are on disk; then its record goes.
    DiskSync::folder(saveCarsFolder);
    if (!pictures.isEmpty())
        DiskSync::folder(vidwallFolder);
    if (const Outcome o = checkpoint(reason); o != Outcome::Installed)
        return o;
    if (!QDir().mkpath(carsFolder) || !m_staging->arrive(carsFolder + id, reason))
        return Outcome::Failed;
    m_arrived = true;
    if (const Outcome o = checkpoint(reason); o != Outcome::Installed)
        return o;
    m_staging->finish();
    downloadLog += serial.warning;
    m_carId = id;
    // Where the car came from; a car whose origin could not be written is still installed.
    CarOrigin from = origin;
    from.carId = id;
    from.zipName = from.zipName.isEmpty() ? QFileInfo(zip).fileName() : from.zipName;
    from.zipSha256 = CarIdentity::sha256OfFile(zip);
    from.identity = identity;
    CarOrigins::record(game, from);
    return Outcome::Installed;
}

CarInstaller::Outcome CarInstaller::waitForExtractor(QProcess& process, QString& reason) {
    QElapsedTimer waited;
    waited.start();
    // A program that ends here ends at once: the extractor is asked to stop with it.
    const QMetaObject::Connection stopWithProgram = QObject::connect(
        &m_end, &ProgramEnd::programEnded, &process, [&process] { process.terminate(); });
    const auto disconnect = qScopeGuard([&] { QObject::disconnect(stopWithProgram); });
    while (process.state() != QProcess::NotRunning) {
        if (m_end.ended()) {
            stopProcess(process);
            return Outcome::Ended;
        }
        if (waited.elapsed() >= extractorTimeoutMs) {
            stopProcess(process);
            reason = QStringLiteral("the extractor did not finish within %1 seconds")
                         .arg(extractorTimeoutMs / 1000.0);
            return Outcome::Failed;
        }
        QEventLoop loop;
        QTimer::singleShot(kCheckEveryMs, &loop, &QEventLoop::quit);
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        QObject::connect(&m_end, &ProgramEnd::programEnded, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (m_end.ended())
        return Outcome::Ended;
    if (process.exitStatus() != QProcess::NormalExit) {
        reason = QStringLiteral("the extractor stopped unexpectedly");
        return Outcome::Failed;
    }
    if (process.exitCode() != 0) {
        reason = extractorMessage(process);
        return Outcome::Failed;
    }
    return Outcome::Installed;
}

CarInstaller::Outcome CarInstaller::checkpoint(QString& reason) {
    const StepAnswer answer = beforeStep ? beforeStep(m_step) : StepAnswer::Go;
    ++m_step;
    if (answer == StepAnswer::Kill)
        return Outcome::Ended;
    if (answer == StepAnswer::Fail && !m_arrived) {
        reason = QStringLiteral("step %1 failed").arg(m_step - 1);
        return Outcome::Failed;
    }
    return Outcome::Installed;
}

// Draws car ids until one is free: no car folder, save folder, staging folder or video-wall
// picture of that name exists. The generator is seeded from the time of day; a draw within the
// same clock second as the one before takes the next second's seed instead of waiting for the
// clock, so the loop never spins.
QString CarInstaller::pickCarId(const QString& carsFolder, const QString& saveFolder,
                                const QString& vidwallFolder, QString& reason) const {
    QSet<QString> taken;
    const auto take = [&taken](const QStringList& names) {
        for (const QString& name : names)
            taken.insert(name.toUpper());
    };
    const QDir::Filters all = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    take(QDir(carsFolder).entryList(all));
    take(QDir(saveFolder).entryList(all));
    take(InstallStaging::heldIds(m_session.GamePath));
    take(Garage::parkedIn(m_session.GamePath));
    for (const QString& picture : QDir(vidwallFolder).entryList(all))
        if (picture.endsWith(QStringLiteral(".QFS"), Qt::CaseInsensitive))
            taken.insert(picture.left(4).toUpper());

    qint64 lastSeed = std::numeric_limits<qint64>::min();
    for (int draw = 0; draw < kMaxIdDraws; ++draw) {
        qint64 seed = timeOfDaySeconds ? timeOfDaySeconds() : SecondsSinceMidnight();
        if (draw > 0 && seed <= lastSeed)
            seed = lastSeed + 1;
        lastSeed = seed;
        const QString id = RandomCarId(seed);
        if (!taken.contains(id))
            return id;
    }
    reason = QStringLiteral("no free car id was found");
    return {};
}

// The folders of path (path included) that do not exist yet, parents first.
QStringList CarInstaller::missingFolders(const QString& path) {
    QStringList missing;
    QString p = QDir::cleanPath(path);
    while (!p.isEmpty() && !QFileInfo::exists(p)) {
        missing.prepend(p);
        const QString parent = QFileInfo(p).path();
        if (parent == p)
            break;
        p = parent;
    }
    return missing;
}

// Creates path with its missing parents.
bool CarInstaller::makeFolder(const QString& path, QString& reason) {
    for (const QString& folder : missingFolders(path)) {
        if (!QDir().mkdir(folder)) {
            reason = QStringLiteral("cannot create the folder \"%1\"").arg(folder);
            return false;
        }
    }
    if (!QFileInfo(path).isDir()) {
        reason =
            QStringLiteral("cannot create the folder \"%1\": a file of that name exists").arg(path);
        return false;
    }
    return true;
}

bool CarInstaller::copyFile(const QString& from, const QString& to, QString& reason) {
    if (QFileInfo::exists(to))
        QFile::remove(to);
    QFile source(from);
    if (!source.copy(to)) {
        reason =
            QStringLiteral("cannot copy \"%1\" to \"%2\": %3").arg(from, to, source.errorString());
        return false;
    }
    return true;
}
