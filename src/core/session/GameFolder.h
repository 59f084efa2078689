#pragma once

#include <QString>

// Telling a game folder from any other folder.
namespace GameFolder {

// True when folder exists and holds a "Data" folder, its name in any case: what the store or a
// Wine prefix names counts as the game only then.
bool mayHoldGame(const QString& folder);

// True when folder holds the game: a folder Data/Cars below it, each name in any letter case
// (a game copied from the CD under Wine often has every name in lower case).
bool holdsGame(const QString& folder);

} // namespace GameFolder
