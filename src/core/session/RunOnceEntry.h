#pragma once

#include <QString>

class SettingsStore;

// The one-time start entry that a shutdown at the end of a run leaves for the next logon: the
// store value "Kavro" under HKEY_CURRENT_USER "Software\Microsoft\Windows\CurrentVersion\RunOnce"
// and the autostart file $XDG_CONFIG_HOME/autostart/kavro-runonce.desktop.
namespace RunOnceEntry {

inline const QString kValueName = QStringLiteral("Kavro");

// $XDG_CONFIG_HOME (else ~/.config) + "/autostart/kavro-runonce.desktop".
QString desktopFilePath();

// Removes both parts of the entry when they are there (the program was started by it).
void remove(SettingsStore& store);

} // namespace RunOnceEntry
