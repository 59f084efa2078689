#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class ProgramEnd;
class QProcess;
class Session;

// Installs one downloaded car into the game folders: unpacks "CAR" + n + ".ZIP" of the work
// folder with the WinZip command, gives the car a fresh random car id, copies CAR.VIV, the
// video-wall pictures and CAR.FEC, writes ID.TXT and makes the serial unique. A failed install
// leaves nothing in the game and appends "Installation failed: " + reason + CR LF to errorText.
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
    QString pickCarId(const QString& carsFolder, const QString& saveFolder, QString& reason) const;
    bool makeFolder(const QString& path, QString& reason);
    bool copyFile(const QString& from, const QString& to, QString& reason);
    void undo();

    Session& m_session;
    ProgramEnd& m_end;
    QString m_carId;
    // What the install in progress created in the game, removed again when it fails.
    QStringList m_createdFolders; // in creation order, parents first
    QStringList m_createdFiles;   // outside the created folders (video-wall pictures)
};
