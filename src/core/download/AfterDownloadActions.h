#pragma once

#include <QString>
#include <functional>

struct AppContext;

// What happens after the last car of a completed run, as chosen in the browser's options
// ("disconnect", "shutdown" in the settings): the hang-up, then either the shutdown with a
// one-time start of the program at the next logon that shows the log, or the log window (also
// when the shutdown is refused).
// Every path ends the program.
namespace AfterDownload {

// The one-time start command: the program file that runs, " /showlog". Written without quotes.
QString RunOnceCommand(const QString& programFile);

// The program file that runs: ctx.programFile, else programFolder + "/kavro".
QString programFile(const AppContext& ctx);

// $XDG_CONFIG_HOME/autostart/kavro-runonce.desktop (XDG_CONFIG_HOME defaults to ~/.config).
QString autostartEntryPath();
// The autostart entry that starts "<programFile> /showlog /runonce" once at the next logon (the
// program removes the entry and the store value when it sees "/runonce").
QString autostartEntryText(const QString& programFile);

// Writes the one-time start (the store value "Kavro" under RunOnce and the autostart entry),
// keeps a copy of the work folder's log under $XDG_STATE_HOME/kavro/ and asks for the shutdown.
// True when the shutdown was asked for and the program has ended, showing nothing. False when
// the request was refused: the entry and the copy are gone again and the program runs on.
bool ScheduleLogAndShutdown(AppContext& ctx);

// Runs the actions; showLog shows the log window modally and ends the program.
void RunAfterDownloadActions(AppContext& ctx, const std::function<void()>& showLog);

} // namespace AfterDownload
