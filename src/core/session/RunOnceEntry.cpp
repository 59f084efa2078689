#include "core/session/RunOnceEntry.h"

#include "core/session/AppSettings.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>

namespace RunOnceEntry {

QString desktopFilePath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart/kavro-runonce.desktop");
}

void remove(SettingsStore& store) {
    if (store.hasValue(RegistryRoot::CurrentUser, AppSettings::kRunOnceKey, kValueName))
        store.deleteValue(RegistryRoot::CurrentUser, AppSettings::kRunOnceKey, kValueName);
    QFile::remove(desktopFilePath());
}

} // namespace RunOnceEntry
