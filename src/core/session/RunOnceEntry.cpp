#include "core/session/RunOnceEntry.h"

#include "core/session/AppSettings.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>

namespace RunOnceEntry {

namespace {
QString xdgFolder(const char* variable, const QString& fallback) {
    const QString base = qEnvironmentVariable(variable);
    // The base folder specification: a relative path is invalid and is ignored.
    if (!base.isEmpty() && QDir::isAbsolutePath(base))
        return base;
    return QDir::homePath() + fallback;
}
} // namespace

QString desktopFilePath() {
    return xdgFolder("XDG_CONFIG_HOME", QStringLiteral("/.config")) +
           QStringLiteral("/autostart/kavro-runonce.desktop");
}

QString keptLogPath() {
    return xdgFolder("XDG_STATE_HOME", QStringLiteral("/.local/state")) +
           QStringLiteral("/kavro/DOWNLOAD.LOG");
}

QString logToShow(const QString& workDir) {
    const QString kept = keptLogPath();
    return QFile::exists(kept) ? kept : workDir + QStringLiteral("DOWNLOAD.LOG");
}

void remove(SettingsStore& store) {
    if (store.hasValue(RegistryRoot::CurrentUser, AppSettings::kRunOnceKey, kValueName))
        store.deleteValue(RegistryRoot::CurrentUser, AppSettings::kRunOnceKey, kValueName);
    QFile::remove(desktopFilePath());
}

} // namespace RunOnceEntry
