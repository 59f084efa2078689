#pragma once

#include "platform/SystemActions.h"

// The program's system actions (see SystemActions).
class DesktopActions : public SystemActions {
public:
    void hangUp() override;
    void powerOff() override;
    void openUrl(const QString& url) override;
};
