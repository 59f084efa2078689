#include "core/session/AppSettings.h"

#include "core/session/AppContext.h"
#include "platform/Clock.h"
#include "platform/PppLink.h"
#include "platform/SettingsStore.h"
#include "platform/WinePrefix.h"

namespace AppSettings {

namespace {
QString boolText(bool b) {
    return b ? QStringLiteral("True") : QStringLiteral("False");
}
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

QString ReadGameFolder(AppContext& ctx) {
    const QString stored = ctx.settings->ReadSetting(RegistryRoot::LocalMachine, kGameKey,
                                                     QStringLiteral("InstallPath"));
    if (!stored.trimmed().isEmpty())
        return stored;
    // Not in our store: the game may have been installed under Wine.
    return WinePrefix(WinePrefix::defaultFolder()).installFolder(kGameKey);
}

QString ReadWinZipCommand(AppContext& ctx) {
    auto& s = *ctx.settings;
    if (!s.hasValue(RegistryRoot::ClassesRoot, kWinZipKey, QString())) {
        // Nothing registered: our own extractor beside the program stands in for WinZip.
        return u'"' + ctx.programFolder + QStringLiteral("/kavro-unzip\" \"%1\"");
    }
    const QString command = s.ReadSetting(RegistryRoot::ClassesRoot, kWinZipKey, QString());
    // A value that holds nothing usable (empty, the stored " ") counts as missing.
    return command.trimmed().isEmpty() ? QString() : command;
}

bool IsDialUpConnected(AppContext& ctx) {
    auto& s = *ctx.settings;
    const QString name = QStringLiteral("Remote Connection");
    if (!s.hasValue(RegistryRoot::LocalMachine, kRemoteAccessKey, name))
        return PppLink::isUp(ctx.netClassFolder);
    const QString v = s.ReadSetting(RegistryRoot::LocalMachine, kRemoteAccessKey, name);
    return !v.isEmpty() && v.at(0).unicode() == 1;
}

} // namespace AppSettings
