#pragma once

#include <QString>

class Session;

// The run's addresses and work folder, fixed once at start-up.
namespace StartupPaths {

// "/LOCALHOST": the local web server, the base URL in KAVRO_LOCALHOST when set, else
// http://localhost. Otherwise the default catalogue site.
QString serverListUrl(bool localHost);
QString adsUrl(bool localHost);

// TEMP, else TMPDIR, else XDG_CACHE_HOME (when absolute), else ~/.cache; with "/" appended
// when missing, then "Kavro/".
QString workDir();

// Sets ServerListURL, AdsURL (from the switch) and WorkDir of the session.
void setSessionPaths(Session& session, bool localHost);

} // namespace StartupPaths
