#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class Clock;
class InstanceChannel;
class MessageBoxService;
class ProgramEnd;
class QNetworkAccessManager;
class Session;
class SettingsStore;
class SystemActions;

// The services of one run, made by main (or by a test) and passed to every window and operation
// that needs them. Nothing reaches them through globals, so each test builds its own.
struct AppContext {
    Session* session = nullptr;
    SettingsStore* settings = nullptr;
    MessageBoxService* prompts = nullptr;
    ProgramEnd* programEnd = nullptr;
    Clock* clock = nullptr;
    SystemActions* actions = nullptr;
    // The one shared HTTP client of small fetches, downloads and the ad pane.
    QNetworkAccessManager* network = nullptr;
    // The folder of the kavro program file (for "installpath", the run-once entry, and the
    // kavro-unzip fallback); main sets it from the application's folder.
    QString programFolder;
    // The command line as given (main joins the arguments after the program name), without the
    // arguments that name car ZIPs: those are in zipFiles.
    QString commandLine;
    // The car ZIPs named on the command line (absolute paths): installed instead of the normal
    // start.
    QStringList zipFiles;
    // Arguments that name a ".zip" file that does not exist: the start refuses them in a box.
    QStringList missingZips;
    // The kavro:// links named on the command line, as given (see CatalogueLink).
    QStringList links;
    // Where the network interfaces are listed (the dial-up link is a ppp* entry); tests point it
    // at a folder of their own.
    QString netClassFolder = QStringLiteral("/sys/class/net");
    // The kernel's routing table (a default route means the machine reaches beyond its network).
    QString routeFile = QStringLiteral("/proc/net/route");
    // The desktop's answer to "is this machine online" (main sets OnlineCheck::systemAnswer);
    // nothing, or no function at all, when no network service answers. Tests inject their own.
    std::function<std::optional<bool>()> systemOnline;
    // The program file that runs (what the one-time start entry starts); main sets it from the
    // application's file path. Empty: programFolder + "/kavro".
    QString programFile;
    // Asks the player for a folder (the title says what for); empty when cancelled. Unset: the
    // desktop's folder chooser. Tests answer for the player.
    std::function<QString(const QString& title)> chooseFolder;
    // Asks the player for files to open, starting in folder; none when cancelled. Unset: the
    // desktop's file dialog.
    std::function<QStringList(const QString& title, const QString& folder)> chooseFiles;
    // The user's one running Kavro, when this is it: what later starts hand over (ZIPs wait in
    // its queue for the end of the run in progress). Null on the roads that take no hand-over.
    InstanceChannel* instance = nullptr;
};
