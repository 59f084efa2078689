#pragma once

#include <QString>
#include <functional>

class ProgramEnd;
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

    // n: the car's 1-based place in the queue; listLine: its line of the download list.
    // Appends the serial warning block to downloadLog when the serial had to change.
    void InstallCar(qint16 n, const QString& listLine, QString& errorText, QString& downloadLog);

private:
    Session& m_session;
    ProgramEnd& m_end;
};
