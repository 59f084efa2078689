#pragma once

#include "core/gamedata/CarOrigins.h"
#include "core/gamedata/InstallStaging.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class ProgramEnd;
class QProcess;
class Session;

// Installs one downloaded car into the game folders: unpacks "CAR" + n + ".ZIP" of the work
// folder with the WinZip command, gives the car a fresh random car id, copies CAR.VIV, the
// video-wall pictures and CAR.FEC, writes ID.TXT and makes the serial unique. The car folder is
// assembled in the game's staging folder and arrives in Data/Cars in one rename, after its save
// data and pictures (see InstallStaging): a killed install is undone at the next start. A failed
// install leaves nothing in the game and appends "Installation failed: " + reason + CR LF to
// errorText.
class CarInstaller {
public:
    CarInstaller(Session& session, ProgramEnd& programEnd);

    // Called with "Installing Car..." at the start and "." at the end (status label, caption).
    std::function<void(const QString&)> onStatus;

    // The seconds since midnight that seed the car id; the real clock when not set.
    std::function<int()> timeOfDaySeconds;

    // How long the extractor may run before the install gives up on it: the extractor is then
    // asked to stop (SIGTERM, so that it removes its temporary files), killed when it still runs
    // 2 s later, and the extraction folder is emptied.
    int extractorTimeoutMs = 120000;

    // The ZIP to unpack and the folder to unpack it in, instead of the work folder's
    // "CAR" + n + ".ZIP" and "CAR" + n.
    QString zipFile;
    QString extractionFolder;

    // A car already in the game or parked in its garage (the same car, whatever its id or ZIP
    // name) is not installed again: the install fails with "already installed as ABCD" or
    // "already parked as ABCD". True installs a second copy anyway.
    bool again = false;
    // Where the car comes from (for a download: the catalogue and entry), recorded beside the
    // garage when the car arrives; the install fills in the ZIP's name, its SHA-256 and the car's
    // identity.
    CarOrigin origin;

    // Asked before each step that writes into the game, counted from 0: Fail makes that step
    // fail; Kill leaves the install there with everything as it stands, as a killed program
    // would (for the tests that end an install at each of its steps).
    enum class StepAnswer { Go, Fail, Kill };
    std::function<StepAnswer(int step)> beforeStep;

    // n: the car's 1-based place in the queue; listLine: its line of the download list.
    // Appends the serial warning block to downloadLog when the serial had to change.
    // Returns at once, changing nothing more, when the program ends while it waits.
    void InstallCar(qint16 n, const QString& listLine, QString& errorText, QString& downloadLog);

    // The car id of the last install that succeeded; empty after a failure.
    QString carId() const { return m_carId; }

private:
    enum class Outcome { Installed, Failed, Ended };
    Outcome install(qint16 n, const QString& listLine, QString& downloadLog, QString& reason);
    Outcome waitForExtractor(QProcess& process, QString& reason);
    Outcome checkpoint(QString& reason);
    QString pickCarId(const QString& carsFolder, const QString& saveFolder,
                      const QString& vidwallFolder, QString& reason) const;
    static QStringList missingFolders(const QString& path);
    static bool makeFolder(const QString& path, QString& reason);
    static bool copyFile(const QString& from, const QString& to, QString& reason);

    Session& m_session;
    ProgramEnd& m_end;
    QString m_carId;
    // The staging of the install in progress; undone when it fails before the car arrived.
    std::unique_ptr<InstallStaging> m_staging;
    bool m_arrived = false;
    int m_step = 0;
};
