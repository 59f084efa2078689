#include "core/session/AppSettings.h"

#include "core/session/AppContext.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"

namespace AppSettings {

namespace {
QString boolText(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }
} // namespace

QString ReadAppSetting(AppContext& ctx, const QString& name) {
    return ctx.settings->ReadSetting(RegistryRoot::CurrentUser, kAppKey, name);
}

void RecordStart(AppContext& ctx) {
    auto& s = *ctx.settings;
    s.WriteSetting(RegistryRoot::CurrentUser, kAppKey, QStringLiteral("installpath"),
                   ctx.programFolder);
    s.WriteSetting(RegistryRoot::CurrentUser, kAppKey, QStringLiteral("appver"),
                   QString::number(KAVRO_VERSION_REVISION));
    s.WriteSetting(RegistryRoot::CurrentUser, kAppKey, QStringLiteral("lastopen"),
                   ctx.clock->dateText() + u' ' + ctx.clock->timeText());
    if (ReadAppSetting(ctx, QStringLiteral("loadss")).isEmpty())
        s.WriteSetting(RegistryRoot::CurrentUser, kAppKey, QStringLiteral("loadss"),
                       QStringLiteral("1"));
}

std::optional<bool> toBoolean(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (ok)
        return v != 0.0;
    return std::nullopt;
}

std::optional<bool> LoadOptions(AppContext& ctx) {
    return toBoolean(ReadAppSetting(ctx, QStringLiteral("loadss")));
}

void SaveOptions(AppContext& ctx, bool viewScreenShots, bool shutdownAfter, bool disconnectAfter) {
    auto& s = *ctx.settings;
    s.WriteSetting(RegistryRoot::CurrentUser, kAppKey, QStringLiteral("loadss"),
                   boolText(viewScreenShots));
    s.WriteSetting(RegistryRoot::CurrentUser, kAppKey, QStringLiteral("shutdown"),
                   boolText(shutdownAfter));
    s.WriteSetting(RegistryRoot::CurrentUser, kAppKey, QStringLiteral("disconnect"),
                   boolText(disconnectAfter));
}

// PLACEHOLDER (store only): the start-up work adds the Wine prefix, kavro-unzip and PPP fallbacks.
QString ReadGameFolder(AppContext& ctx) {
    return ctx.settings->ReadSetting(RegistryRoot::LocalMachine, kGameKey,
                                     QStringLiteral("InstallPath"));
}

QString ReadWinZipCommand(AppContext& ctx) {
    return ctx.settings->ReadSetting(RegistryRoot::ClassesRoot, kWinZipKey, QString());
}

bool IsDialUpConnected(AppContext& ctx) {
    const QString v = ctx.settings->ReadSetting(RegistryRoot::LocalMachine, kRemoteAccessKey,
                                                QStringLiteral("Remote Connection"));
    return !v.isEmpty() && v.at(0).unicode() == 1;
}

} // namespace AppSettings
