#pragma once

#include <QString>

class SettingsStore;

// The one-time start entry that a shutdown at the end of a run leaves for the next logon: the
// store value "Kavro" under HKEY_CURRENT_USER "Software\Microsoft\Windows\CurrentVersion\RunOnce"
// and the autostart file $XDG_CONFIG_HOME/autostart/kavro-runonce.desktop; with them a copy of the
// run's log kept where a reboot does not empty it.
namespace RunOnceEntry {

inline const QString kValueName = QStringLiteral("Kavro");

// $XDG_CONFIG_HOME (else ~/.config) + "/autostart/kavro-runonce.desktop".
QString desktopFilePath();

// $XDG_STATE_HOME (else ~/.local/state) + "/kavro/DOWNLOAD.LOG": the copy of the log that the
// one-time start shows.
QString keptLogPath();

// The log the one-time start shows: the kept copy when there is one, else the work folder's.
QString logToShow(const QString& workDir);

// Removes both parts of the entry when they are there (the program was started by it, or the
// shutdown was refused).
void remove(SettingsStore& store);

} // namespace RunOnceEntry
