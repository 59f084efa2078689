// PLACEHOLDER: the download work replaces this with hang-up, logind power-off and the overrides.
#include "platform/DesktopActions.h"

void DesktopActions::hangUp() {}
void DesktopActions::powerOff() {}
void DesktopActions::openUrl(const QString&) {}
