#pragma once

#include <QPointer>
#include <QString>

#include "gui/frmSplash.h"

struct AppContext;

// The start-up routine: reads the command line, fixes the run's addresses and work folder, shows
// the previous log ("/SHOWLOG"), checks for the game and the extractor, opens the fixer alone
// ("/SERIAL") or makes the normal start: welcome window (unless "/SKIPINTRO"), fresh work folder,
// start stamp, installed-car scan, then the connection check or the welcome window's Continue.
//
// run() returns when start-up is over; the program then lives on in its windows. Where start-up
// ends the program it calls ctx.programEnd->EndProgram() and returns at once.
class Startup {
public:
    explicit Startup(AppContext& ctx) : m_ctx(ctx) {}

    void run();

    // The welcome window of a normal start (null under "/SKIPINTRO" and the other roads).
    frmSplash* splash() const { return m_splash; }

    // The heading of the log shown under "/SHOWLOG".
    static QString showLogHeading();

private:
    // Lets the windows paint; false when the program ended meanwhile.
    bool yield();

    AppContext& m_ctx;
    QPointer<frmSplash> m_splash;
};
