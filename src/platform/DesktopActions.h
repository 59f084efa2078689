#pragma once

#include "platform/SystemActions.h"

#include <QStringList>

// The program's system actions on Linux:
// - hang-up: KAVRO_HANGUP_COMMAND when set (run by /bin/sh), else "poff -a" when present, else
//   nothing;
// - power-off: KAVRO_SHUTDOWN_COMMAND when set, else systemd-logind's PowerOff(false) over the
//   system bus; refused when the command does not exit with 0 or logind answers with an error;
// - open a web address: "xdg-open URL", started detached, for an address the network policy
//   allows (http and https) only; any other is not opened;
// - show a folder: "xdg-open" with the folder's file: address, for an existing folder only (a
//   file would be opened, or run, by whatever the desktop links to it); false when xdg-open is
//   not on the search path or cannot be started.
// The hang-up's result is not looked at. Under the test runner (KAVRO_TEST set) the real hang-up
// and power-off are never done, only the override commands.
class DesktopActions : public SystemActions {
public:
    void hangUp() override;
    bool powerOff() override;
    void openUrl(const QString& url) override;
    bool openFolder(const QString& path) override;

    // Runs a command line through /bin/sh and waits (at most 30 s) for it to end; true when it
    // ended normally with exit code 0.
    static bool runShellCommand(const QString& commandLine);
    // "poff" on the search path or in the system folders; empty when missing.
    static QString findPoff();
};
