#include "core/session/StartupPaths.h"

#include "core/session/ProgramInfo.h"
#include "core/session/Session.h"

#include <QDir>

namespace StartupPaths {

namespace {
QString localBase() {
    QString base = qEnvironmentVariable("KAVRO_LOCALHOST");
    if (base.isEmpty())
        base = QStringLiteral("http://localhost");
    while (base.endsWith(u'/'))
        base.chop(1);
    return base;
}
} // namespace

QString serverListUrl(bool localHost, const QString& configured) {
    if (localHost)
        return localBase() + QStringLiteral("/lxd/sl.dat");
    if (!configured.trimmed().isEmpty())
        return configured.trimmed();
    return ProgramInfo::kCatalogueBase + QStringLiteral("kavro/svr/sl.dat");
}

QString adsUrl(bool localHost, const QString& configured) {
    if (localHost)
        return localBase() + QStringLiteral("/ads.htm");
    if (!configured.trimmed().isEmpty())
        return configured.trimmed();
    return ProgramInfo::kCatalogueBase + QStringLiteral("kavro/ads/ads.htm");
}

QString workDir() {
    QString temp = qEnvironmentVariable("TEMP");
    if (temp.isEmpty())
        temp = qEnvironmentVariable("TMPDIR");
    if (temp.isEmpty()) {
        // The user's own cache folder rather than the shared /tmp; a relative XDG_CACHE_HOME is
        // not taken (the base directory rules ask for absolute paths).
        temp = qEnvironmentVariable("XDG_CACHE_HOME");
        if (temp.isEmpty() || !QDir::isAbsolutePath(temp))
            temp = QDir::homePath() + QStringLiteral("/.cache");
    }
    if (!temp.endsWith(u'/'))
        temp += u'/';
    return temp + QStringLiteral("Kavro/");
}

void setSessionPaths(Session& session, bool localHost) {
    session.SessionPaths[Session::ServerListURL] = serverListUrl(localHost);
    session.SessionPaths[Session::AdsURL] = adsUrl(localHost);
    session.SessionPaths[Session::WorkDir] = workDir();
}

} // namespace StartupPaths
