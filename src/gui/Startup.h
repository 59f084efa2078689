#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <memory>

#include "gui/frmSplash.h"

struct AppContext;
class WorkFolder;

// The start-up routine: reads the command line, fixes the run's addresses and work folder, shows
// the previous log ("/SHOWLOG"), checks for the game and the extractor, opens the fixer alone
// ("/SERIAL"), opens the Installed Cars window alone ("/CARS"), installs the car ZIPs named on the
// command line, or makes the normal start: welcome window (unless "/SKIPINTRO"), fresh work folder,
// start stamp, installed-car scan, then the connection check or the welcome window's Continue.
// When neither the store nor a Wine prefix names the game, the player is asked where it is first.
// A work folder that is not the user's own ends the program on every road but "/SHOWLOG" and
// "/SERIAL", which write nothing in it and never refuse; a normal start also ends when another
// running copy holds the work folder. The hold lasts as long as this object, or until the program
// ends. Every road but "/SHOWLOG" without a game first undoes the installs that never finished.
//
// run() returns when start-up is over; the program then lives on in its windows. Where start-up
// ends the program it calls ctx.programEnd->EndProgram() and returns at once.
class Startup {
public:
    explicit Startup(AppContext& ctx);
    ~Startup();

    void run();

    // The welcome window of a normal start (null under "/SKIPINTRO" and the other roads).
    frmSplash* splash() const { return m_splash; }

    // The heading of the log shown under "/SHOWLOG".
    static QString showLogHeading();

private:
    // Lets the windows paint; false when the program ended meanwhile.
    bool yield();
    // Undoes the installs that never finished (see InstallStaging), when no other program holds
    // the game's lock; the lines say which cars were undone (also on standard error).
    QStringList undoUnfinishedInstalls(const QString& game);
    // Takes the work folder's lock for the rest of the run (released at every end) and undoes
    // the installs that never finished; false, after the refusal, when another copy holds it.
    bool holdWorkFolder();
    // With a message: shows it (critical) and ends the program; true then.
    bool refuseWorkFolder(const QString& message);
    // The game found nowhere: asks the player for its folder; one that holds the game is
    // recorded in the store (as kavro-cars set-game does) and becomes GamePath. False when the
    // player cancels or the folder does not hold the game.
    bool askForGame();
    // The roads of the cars the player already has: the ZIPs of the command line go through the
    // download window, then the log window, and the program ends; "/CARS" opens the Installed
    // Cars window, whose close ends the program. Both hold the work folder as a normal start does.
    void ownCarsRoad(bool installedCars);

    AppContext& m_ctx;
    QPointer<frmSplash> m_splash;
    std::unique_ptr<WorkFolder> m_workFolder;
};
