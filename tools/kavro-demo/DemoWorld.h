#pragma once

#include <QString>

// The demo world: everything a newcomer needs to see Kavro work without the internet or the game.
//   DIR/htdocs/   lxd/sl.dat (two servers), one/ (a catalogue with authors), two/ (a classic
//                 catalogue), car ZIPs, screenshots, ads.htm
//   DIR/game/     a game folder with four installed cars, two of them sharing a serial number
//   DIR/config/   kavro/registry.reg pointing the game's install folder at DIR/game
namespace DemoWorld {

bool make(const QString& dir, QString* error);

} // namespace DemoWorld
