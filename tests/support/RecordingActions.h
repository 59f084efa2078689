#pragma once

#include "platform/SystemActions.h"

#include <QStringList>

// System actions that only record what was asked (never a real hang-up, shutdown or browser).
class RecordingActions : public SystemActions {
public:
    void hangUp() override { calls.append(QStringLiteral("hangup")); }
    bool powerOff() override {
        calls.append(QStringLiteral("poweroff"));
        return !powerOffRefused;
    }
    void openUrl(const QString& url) override { calls.append(QStringLiteral("open ") + url); }
    bool openFolder(const QString& path) override {
        calls.append(QStringLiteral("folder ") + path);
        return !noFileManager;
    }
    QStringList calls;
    bool powerOffRefused = false; // the shutdown request is refused
    bool noFileManager = false;   // the desktop has no xdg-open
};
