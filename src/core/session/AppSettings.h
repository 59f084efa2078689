#pragma once

#include <QString>
#include <optional>

struct AppContext;

// The program's purpose-made settings operations, over the settings store. Kavro's own values live
// under HKEY_CURRENT_USER "Software\Brellum Inc\Kavro"; Booleans are stored as "True"/"False".
namespace AppSettings {

inline const QString kAppKey = QStringLiteral("Software\\Brellum Inc\\Kavro");
inline const QString kGameKey =
    QStringLiteral("Software\\Electronic Arts\\Need For Speed High Stakes\\");
inline const QString kWinZipKey = QStringLiteral("WinZip\\shell\\open\\command");
inline const QString kRemoteAccessKey =
    QStringLiteral("System\\CurrentControlSet\\Services\\RemoteAccess");
inline const QString kRunOnceKey =
    QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce");

QString ReadAppSetting(AppContext& ctx, const QString& name);
// "installpath", "appver", "lastopen"; then "loadss" = "1" when it reads empty.
void RecordStart(AppContext& ctx);
// The stored "loadss" as a Boolean; nothing when it does not convert (the menu keeps its state).
std::optional<bool> LoadOptions(AppContext& ctx);
// Writes "loadss", "shutdown", "disconnect" in that order as "True"/"False".
void SaveOptions(AppContext& ctx, bool viewScreenShots, bool shutdownAfter,
                 bool disconnectAfter);
// Text to Boolean the way the original converts: "True"/"False" in any case, or a number (0 is
// false). Nothing for anything else (empty text, " ").
std::optional<bool> toBoolean(const QString& text);

// The game's install folder (store, else the Wine prefix); empty when not found.
QString ReadGameFolder(AppContext& ctx);
// WinZip's open command (store, else our kavro-unzip beside the program); empty when missing.
QString ReadWinZipCommand(AppContext& ctx);
// True while a dial-up connection is up (store's "Remote Connection", else a PPP link).
bool IsDialUpConnected(AppContext& ctx);

} // namespace AppSettings
