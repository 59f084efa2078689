#include "core/session/AppSettings.h"

#include "core/session/AppContext.h"
#include "core/session/GameFolder.h"
#include "platform/Clock.h"
#include "platform/GameFs.h"
#include "platform/OnlineCheck.h"
#include "platform/PppLink.h"
#include "platform/SettingsStore.h"
#include "platform/WineLaunchers.h"
#include "platform/WinePrefix.h"

#include <QDir>
#include <QFileInfo>

// Where an installed tree keeps the extractor, from the program's folder (set by the build from
// the install folders; "../libexec/kavro" for the usual layout).
#ifndef KAVRO_EXTRACTOR_FROM_BIN
#define KAVRO_EXTRACTOR_FROM_BIN "../libexec/kavro"
#endif

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

QString ReadGameFolder(AppContext& ctx, QString* looked) {
    QStringList places;
    auto done = [&](const QString& found) {
        if (looked)
            *looked = places.join(QStringLiteral("; "));
        return found;
    };
    const QString stored = ctx.settings->ReadSetting(RegistryRoot::LocalMachine, kGameKey,
                                                     QStringLiteral("InstallPath"));
    if (!stored.trimmed().isEmpty()) {
        // The store names the game: that folder or none (a typo must not send the cars elsewhere).
        places.append(QStringLiteral("the settings store's InstallPath \"%1\"").arg(stored));
        return done(GameFolder::mayHoldGame(stored) ? stored : QString());
    }
    // Not in our store: the game may have been installed under Wine, by hand or by a launcher.
    const QStringList prefixes =
        WineLaunchers::prefixes(QDir::homePath(), qEnvironmentVariable("WINEPREFIX"));
    for (const QString& prefix : prefixes) {
        if (!QFileInfo(prefix).isDir())
            continue;
        const QString folder = WinePrefix(prefix).installFolder(kGameKey);
        places.append(folder.isEmpty() ? QStringLiteral("Wine prefix %1").arg(prefix)
                                       : QStringLiteral("Wine prefix %1 (%2)").arg(prefix, folder));
        if (GameFolder::mayHoldGame(folder))
            return done(folder);
    }
    if (places.isEmpty())
        places.append(
            QStringLiteral("no Wine prefix (%1)").arg(prefixes.join(QStringLiteral(", "))));
    return done({});
}

bool WriteGameFolder(AppContext& ctx, const QString& folder) {
    return ctx.settings->WriteSetting(RegistryRoot::LocalMachine, kGameKey,
                                      QStringLiteral("InstallPath"), QDir(folder).absolutePath());
}

QString extractorPath(const QString& programFolder) {
    const QString beside = GameFs::withSlash(programFolder) + QStringLiteral("kavro-unzip");
    if (QFileInfo(beside).isExecutable())
        return beside;
    const QString installed =
        QDir::cleanPath(GameFs::withSlash(programFolder) +
                        QStringLiteral(KAVRO_EXTRACTOR_FROM_BIN) + QStringLiteral("/kavro-unzip"));
    return QFileInfo(installed).isExecutable() ? installed : beside;
}

QString ReadWinZipCommand(AppContext& ctx) {
    auto& s = *ctx.settings;
    if (!s.hasValue(RegistryRoot::ClassesRoot, kWinZipKey, QString())) {
        // Nothing registered: our own extractor stands in for WinZip.
        return u'"' + extractorPath(ctx.programFolder) + QStringLiteral("\" \"%1\"");
    }
    const QString command = s.ReadSetting(RegistryRoot::ClassesRoot, kWinZipKey, QString());
    // A value that holds nothing usable (empty, the stored " ") counts as missing.
    return command.trimmed().isEmpty() ? QString() : command;
}

bool IsConnected(AppContext& ctx) {
    auto& s = *ctx.settings;
    const QString name = QStringLiteral("Remote Connection");
    if (s.hasValue(RegistryRoot::LocalMachine, kRemoteAccessKey, name)) {
        const QString v = s.ReadSetting(RegistryRoot::LocalMachine, kRemoteAccessKey, name);
        return !v.isEmpty() && v.at(0).unicode() == 1;
    }
    if (ctx.systemOnline) {
        if (const std::optional<bool> answer = ctx.systemOnline())
            return *answer;
    }
    return OnlineCheck::hasDefaultRoute(ctx.routeFile) || PppLink::isUp(ctx.netClassFolder);
}

QString WinZipProgram(const QString& openCommand) {
    return openCommand.left(qMax<qsizetype>(0, openCommand.size() - 5));
}

} // namespace AppSettings
