#pragma once

#include <QString>
#include <QStringList>

class QWidget;
struct AppContext;

// The desktop's folder chooser and file dialog, or the context's stand-ins for them (tests
// answer for the player there).
namespace FileChoosers {

// A folder; empty when the player cancels.
QString chooseFolder(AppContext& ctx, QWidget* parent, const QString& title);

// Car ZIPs, several at once, starting in the folder used last (kept in the store, the player's
// Downloads folder or home the first time); the folder of the choice is kept for the next time.
// None when the player cancels.
QStringList chooseZips(AppContext& ctx, QWidget* parent, const QString& title);

} // namespace FileChoosers
