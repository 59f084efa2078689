#pragma once

#include <QString>

// System actions of the end of a run and of the browser: hanging up the dial-up connection,
// powering the machine off, opening a web address, and showing a car's folder. The program's
// implementation runs KAVRO_HANGUP_COMMAND / KAVRO_SHUTDOWN_COMMAND when set (tests always set both
// to a harmless recorder), else "poff -a" and systemd-logind's PowerOff. powerOff() is false when
// the request was refused (the command ended with an error, or logind answered with one).
class SystemActions {
public:
    virtual ~SystemActions() = default;
    virtual void hangUp() = 0;
    virtual bool powerOff() = 0;
    virtual void openUrl(const QString& url) = 0;
    // Shows a folder of this machine in the desktop's file manager; false when there is no file
    // manager to ask (the caller says so).
    virtual bool openFolder(const QString& path) = 0;
};
