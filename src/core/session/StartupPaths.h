#pragma once

#include <QString>

class Session;

// The run's addresses and work folder, fixed once at start-up.
namespace StartupPaths {

// "/LOCALHOST": the local web server, the base URL in KAVRO_LOCALHOST when set, else
// http://localhost. Otherwise configured (the store's "serverlist" / "ads") when it holds an
// address, else the default catalogue site.
QString serverListUrl(bool localHost, const QString& configured = QString());
QString adsUrl(bool localHost, const QString& configured = QString());

// TEMP, else TMPDIR, else XDG_CACHE_HOME (when absolute), else ~/.cache; with "/" appended
// when missing, then "Kavro/".
QString workDir();

// Sets ServerListURL, AdsURL (from the switch) and WorkDir of the session.
void setSessionPaths(Session& session, bool localHost);

} // namespace StartupPaths
