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
// ("/SERIAL") or makes the normal start: welcome window (unless "/SKIPINTRO"), fresh work folder,
// start stamp, installed-car scan, then the connection check or the welcome window's Continue.
// A work folder that is not the user's own ends a normal start, as does another running copy that
// holds the work folder ("/SHOWLOG" and "/SERIAL" write nothing in it and never refuse). The hold
// lasts as long as this object, or until the program ends. Every road but "/SHOWLOG" without a
// game first undoes the installs that never finished.
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
    // Undoes the installs that never finished (see InstallStaging), when no other copy holds the
    // work folder; the lines say which cars were undone (also on standard error).
    QStringList undoUnfinishedInstalls(const QString& game);
    // With a message: shows it (critical) and ends the program; true then.
    bool refuseWorkFolder(const QString& message);

    AppContext& m_ctx;
    QPointer<frmSplash> m_splash;
    std::unique_ptr<WorkFolder> m_workFolder;
};
