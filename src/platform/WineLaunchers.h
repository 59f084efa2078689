#pragma once

#include <QString>
#include <QStringList>

// The Wine prefixes where a game may have been installed, as the launchers keep them:
//   $WINEPREFIX, ~/.wine
//   Lutris        ~/.config/lutris/games/*.yml, the "prefix:" of each file's "game:" section
//   Bottles       ~/.local/share/bottles/bottles/*/ and, for the Flatpak,
//                 ~/.var/app/com.usebottles.bottles/data/bottles/bottles/*/
//   PlayOnLinux   ~/.PlayOnLinux/wineprefix/*/
namespace WineLaunchers {

// Every prefix in that order (within one launcher sorted by name), each once, whether it exists
// or not. home is the user's home folder; winePrefix the value of $WINEPREFIX (may be empty).
QStringList prefixes(const QString& home, const QString& winePrefix);

// The "prefix:" of the "game:" section of a Lutris game file (YAML), "~/" expanded with home;
// empty when there is none.
QString lutrisPrefix(const QByteArray& yaml, const QString& home);

} // namespace WineLaunchers
