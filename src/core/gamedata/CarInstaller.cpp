#include "core/gamedata/CarInstaller.h"

#include "core/gamedata/CarFolder.h"
#include "core/gamedata/RandomCarId.h"
#include "core/gamedata/SerialConflicts.h"
#include "core/gamedata/Unzip.h"
#include "core/session/Session.h"
#include "platform/AnsiText.h"
#include "platform/GameFs.h"
#include "platform/ProgramEnd.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
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
    m_createdFolders.clear();
    m_createdFiles.clear();
    QString reason;
    const Outcome outcome = install(n, listLine, downloadLog, reason);
    if (outcome == Outcome::Ended)
        return;
    if (outcome == Outcome::Failed) {
        undo();
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
    const QString zipFile = work + QStringLiteral("CAR") + number + QStringLiteral(".ZIP");
    const QString extractionFolder = work + QStringLiteral("CAR") + number;

    if (!prepareExtractionFolder(extractionFolder, reason))
        return Outcome::Failed;

    // The extractor runs to its end before anything is created in the game, so an install that
    // is cancelled or fails while unpacking leaves the game untouched.
    std::unique_ptr<QProcess> extractor =
        UNZIP(m_session.WinZipPath, zipFile, extractionFolder, &reason);
    if (!extractor)
        return Outcome::Failed;
    if (const Outcome o = waitForExtractor(*extractor, reason); o != Outcome::Installed) {
        // A stopped extractor may have left part of the car behind.
        if (o == Outcome::Failed) {
            QString ignored;
            prepareExtractionFolder(extractionFolder, ignored, false);
        }
        return o;
    }
    QString source;
    if (!findCarFolder(extractionFolder, source, reason))
        return Outcome::Failed;
    source = GameFs::withSlash(source);

    const QString game = m_session.GamePath;
    const QString carsFolder = GameFs::resolve(game, QStringLiteral("Data/Cars/"));
    const QString saveCarsFolder = GameFs::resolve(game, QStringLiteral("SaveData/Cars/"));
    const QString vidwallFolder = GameFs::resolve(game, QStringLiteral("Data/FeArt/Vidwall/"));

    const QString id = pickCarId(carsFolder, saveCarsFolder, reason);
    if (id.isEmpty())
        return Outcome::Failed;
    const QString carFolder = carsFolder + id;
    const QString saveFolder = saveCarsFolder + id;
    if (!makeFolder(carFolder, reason) || !makeFolder(saveFolder, reason))
        return Outcome::Failed;

    const QString carViv = carFolder + u'/' + kCarViv;
    if (!copyFile(findFile(source, kCarViv), carViv, reason))
        return Outcome::Failed;

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
    if (!pictures.isEmpty() && !makeFolder(vidwallFolder, reason))
        return Outcome::Failed;
    for (const auto& [from, to] : pictures) {
        const QString target = GameFs::withSlash(vidwallFolder) + to;
        m_createdFiles.append(target);
        if (!copyFile(source + from, target, reason))
            return Outcome::Failed;
    }

    if (const QString fec = findFile(source, kCarFec); !fec.isEmpty())
        if (!copyFile(fec, saveFolder + u'/' + kCarFec, reason))
            return Outcome::Failed;

    const QString idText = carFolder + QStringLiteral("/ID.TXT");
    if (!AnsiText::writeFile(idText, listLine + QStringLiteral("\r\n"))) {
        reason = QStringLiteral("cannot write \"%1\"").arg(idText);
        return Outcome::Failed;
    }

    const SerialCheckResult serial = CheckSerialConflit(m_session, carViv, id);
    if (!serial.ok) {
        reason = serial.error.isEmpty()
                     ? QStringLiteral("cannot write the serial number into \"%1\"").arg(carViv)
                     : serial.error;
        return Outcome::Failed;
    }
    downloadLog += serial.warning;
    m_carId = id;
    return Outcome::Installed;
}

CarInstaller::Outcome CarInstaller::waitForExtractor(QProcess& process, QString& reason) {
    QElapsedTimer waited;
    waited.start();
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

// Draws car ids until neither the car folder nor the save folder of that name exists. The
// generator is seeded from the time of day; a draw within the same clock second as the one
// before takes the next second's seed instead of waiting for the clock, so the loop never spins.
QString CarInstaller::pickCarId(const QString& carsFolder, const QString& saveFolder,
                                QString& reason) const {
    qint64 lastSeed = std::numeric_limits<qint64>::min();
    for (int draw = 0; draw < kMaxIdDraws; ++draw) {
        qint64 seed = timeOfDaySeconds ? timeOfDaySeconds() : SecondsSinceMidnight();
        if (draw > 0 && seed <= lastSeed)
            seed = lastSeed + 1;
        lastSeed = seed;
        const QString id = RandomCarId(seed);
        if (GameFs::findEntry(carsFolder, id).isEmpty() &&
            GameFs::findEntry(saveFolder, id).isEmpty())
            return id;
    }
    reason = QStringLiteral("no free car id was found");
    return {};
}

// Creates path with its missing parents, remembering each folder it created.
bool CarInstaller::makeFolder(const QString& path, QString& reason) {
    QStringList missing;
    QString p = QDir::cleanPath(path);
    while (!p.isEmpty() && !QFileInfo::exists(p)) {
        missing.prepend(p);
        const QString parent = QFileInfo(p).path();
        if (parent == p)
            break;
        p = parent;
    }
    for (const QString& folder : missing) {
        if (!QDir().mkdir(folder)) {
            reason = QStringLiteral("cannot create the folder \"%1\"").arg(folder);
            return false;
        }
        m_createdFolders.append(folder);
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

// Removes what the failed install created in the game: its pictures, the car and save folders
// with their contents, and any parent folder it had to create.
void CarInstaller::undo() {
    for (const QString& file : std::as_const(m_createdFiles))
        QFile::remove(file);
    for (auto it = m_createdFolders.crbegin(); it != m_createdFolders.crend(); ++it)
        QDir(*it).removeRecursively();
    m_createdFiles.clear();
    m_createdFolders.clear();
}
