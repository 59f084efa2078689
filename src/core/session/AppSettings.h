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
void SaveOptions(AppContext& ctx, bool viewScreenShots, bool shutdownAfter, bool disconnectAfter);
// Text to Boolean the way the original converts: "True"/"False" in any case, or a number (0 is
// false). Nothing for anything else (empty text, " ").
std::optional<bool> toBoolean(const QString& text);

// The game's install folder: the store's value, else the first Wine prefix (see
// WineLaunchers::prefixes) whose registry names it. A folder counts only when it exists and holds
// a "Data" folder (in any case, see GameFolder::mayHoldGame). Empty when not found; looked then
// says where the search went, one place after another, for a line on the terminal.
QString ReadGameFolder(AppContext& ctx, QString* looked = nullptr);
// Records folder (made absolute) as the game's InstallPath in the store, for kavro and kavro-cars
// alike; false when the store cannot be written. The caller has checked that it holds the game.
bool WriteGameFolder(AppContext& ctx, const QString& folder);
// WinZip's open command: the store's value, else our own kavro-unzip (see extractorPath); empty
// when the stored value is empty.
QString ReadWinZipCommand(AppContext& ctx);
// The program part of an open command, which ends in ` "%1"`: quoted or plain as it stands.
QString WinZipProgram(const QString& openCommand);
// Where our own extractor stands for a program in programFolder: beside it (the build folder),
// else in the installed tree's libexec/kavro folder; beside it when neither exists.
QString extractorPath(const QString& programFolder);
// True when the machine is connected: the store's "Remote Connection" decides when present (first
// byte 1). Otherwise the system's answer, and where no service answers, a default route or an up
// PPP link.
bool IsConnected(AppContext& ctx);

} // namespace AppSettings
