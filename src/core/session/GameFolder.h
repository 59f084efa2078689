#pragma once

#include <QString>

// Telling a game folder from any other folder.
namespace GameFolder {

// True when folder holds the game: a folder Data/Cars below it, each name in any letter case
// (a game copied from the CD under Wine often has every name in lower case).
bool holdsGame(const QString& folder);

} // namespace GameFolder
