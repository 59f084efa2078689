#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QDragEnterEvent;
class QDropEvent;
class QMenu;
class QWidget;
struct AppContext;

// The road of the cars a player already has, shared by the server window and the car browser:
// "Install Cars from Files…" (Ctrl+O) and "Installed Cars…" in their Options menu, and car ZIPs
// dropped on them. The ZIPs named on the command line take the same road.
namespace InstallFromFiles {

inline const QString kInstallItem = QStringLiteral("Install Cars from Files…");
inline const QString kInstalledItem = QStringLiteral("Installed Cars…");
inline const QString kDropTitle = QStringLiteral("NFSHS Kavro");
inline QString dropRefusal(const QString& what) {
    return QStringLiteral("Only car ZIP files can be dropped here: %1 is not one.").arg(what);
}

// Adds the two items to menu, as mnuFiles and mnuInstalled; Ctrl+O works in window while the
// menu is closed. They do nothing while ready() is false (the window is busy).
void addMenuItems(AppContext& ctx, QWidget* window, QMenu* menu, std::function<bool()> ready);

// Asks for car ZIPs and installs them (see install).
void chooseAndInstall(AppContext& ctx, QWidget* window);

// Installs the ZIPs through the download window. The limit of cars refuses them all with the
// car browser's message before anything starts. Otherwise cameFrom is hidden, the download window
// shows the run, the log window shows its log (DOWNLOAD.LOG is written), and when that closes
// cameFrom is shown again; without cameFrom (the command line) ZIPs another start handed over
// meanwhile are installed next, and the program ends after the last run (exit status 1 when a
// car of it was not installed, or the limit refused them).
void install(AppContext& ctx, QWidget* cameFrom, const QStringList& zips);

// The Installed Cars window, modal over window.
void showInstalledCars(AppContext& ctx, QWidget* window);

// A window's drag and drop: anything with files may be dropped; a drop of car ZIPs installs
// them, anything else is refused with a box.
void dragEnter(QDragEnterEvent* e);
void drop(AppContext& ctx, QWidget* window, QDropEvent* e, std::function<bool()> ready);

} // namespace InstallFromFiles
