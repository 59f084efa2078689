#pragma once

#include "platform/SystemActions.h"

#include <QStringList>

// System actions that only record what was asked (never a real hang-up, shutdown or browser).
class RecordingActions : public SystemActions {
public:
    void hangUp() override { calls.append(QStringLiteral("hangup")); }
    void powerOff() override { calls.append(QStringLiteral("poweroff")); }
    void openUrl(const QString& url) override { calls.append(QStringLiteral("open ") + url); }
    QStringList calls;
};
