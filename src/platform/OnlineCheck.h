#pragma once

#include <QString>
#include <optional>

// Whether this machine is online, as the system sees it.
namespace OnlineCheck {

inline const QString kRouteFile = QStringLiteral("/proc/net/route");

// The desktop's own answer through QNetworkInformation: its default backend (NetworkManager),
// else the GLib one. Nothing when no backend loads or the backend does not know.
std::optional<bool> systemAnswer();

// True when routeFile (the kernel's IPv4 routing table) holds a default route: destination and
// mask 00000000 on an interface that is up (flags hold RTF_UP, 0x1).
bool hasDefaultRoute(const QString& routeFile = kRouteFile);

} // namespace OnlineCheck
