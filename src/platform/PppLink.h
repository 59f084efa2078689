#pragma once

#include <QString>

// The dial-up link as Linux shows it: a network interface named ppp<n> under /sys/class/net whose
// "flags" hold the up flag (IFF_UP, 0x1).
namespace PppLink {

inline const QString kNetClassFolder = QStringLiteral("/sys/class/net");

// True when some ppp* interface in netClassFolder is up.
bool isUp(const QString& netClassFolder = kNetClassFolder);

} // namespace PppLink
