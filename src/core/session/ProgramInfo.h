#pragma once

#include <QString>

// Fixed addresses and names of the program.
namespace ProgramInfo {

// The maker's web page (end of the outdated-version messages, the credits).
inline const QString kMakerWebPage = QStringLiteral("http://kavro.example.net/");
// The default catalogue site; the server list and the ad page are relative to it.
inline const QString kCatalogueBase = QStringLiteral("http://catalogue.example.net/depotline/");
// The team's address in the credits.
inline const QString kTeamEmail = QStringLiteral("team@kavro.example.net");
// WinZip's web site, at the end of the WinZip message.
inline const QString kWinZipWebSite = QStringLiteral("http://www.winzip.com/");

inline int versionMajor() { return KAVRO_VERSION_MAJOR; }
inline int versionMinor() { return KAVRO_VERSION_MINOR; }
inline int versionRevision() { return KAVRO_VERSION_REVISION; }

} // namespace ProgramInfo
