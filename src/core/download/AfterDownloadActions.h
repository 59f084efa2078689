#pragma once

#include <QString>
#include <functional>

struct AppContext;

// What happens after the last car of a completed run, as chosen in the browser's options
// ("disconnect", "shutdown" in the settings): the hang-up, then either the shutdown with a
// one-time start of the program at the next logon that shows the log, or the log window.
// Every path ends the program.
namespace AfterDownload {

// The one-time start command: programFolder, "/" unless it already ends in one, "kavro",
// " /showlog". Written without quotes.
QString RunOnceCommand(const QString& programFolder);

// $XDG_CONFIG_HOME/autostart/kavro-runonce.desktop (XDG_CONFIG_HOME defaults to ~/.config).
QString autostartEntryPath();
// The autostart entry that starts "<programFolder>/kavro /showlog /runonce" once at the next
// logon (the program removes the entry and the store value when it sees "/runonce").
QString autostartEntryText(const QString& programFolder);

// Writes the one-time start (the store value "Kavro" under RunOnce and the autostart entry),
// asks for the shutdown and ends the program, showing nothing.
void ScheduleLogAndShutdown(AppContext& ctx);

// Runs the actions; showLog shows the log window modally and ends the program.
void RunAfterDownloadActions(AppContext& ctx, const std::function<void()>& showLog);

} // namespace AfterDownload
