#pragma once

#include <QString>

class Session;

// Removing an installed car from the game: its entry in Data/Cars (the car folder), its save
// folder in SaveData/Cars and its video-wall pictures in Data/FeArt/Vidwall ("ABCD.QFS", and
// "ABCD" + one digit + ".QFS": the names the installer gives). Every name is matched without
// regard to case against what exists. The game's own cars are removed the same way.
namespace CarRemoval {

// The name under which the car that id names is installed (its entry in Data/Cars, in the
// spelling found there); empty when id is not four characters long or no such car is installed.
QString installedName(const Session& session, const QString& id);

// Why id cannot be removed ("... is not a car id" / "... is not installed"); empty when it can.
QString refusal(const Session& session, const QString& id);

// Removes the installed car carId whole or not at all: its entry leaves Data/Cars in one rename
// (into the game's staging folder, see InstallStaging), then it, its save folder and pictures are
// deleted; a removal killed after the rename is finished at the next start. A symbolic link is
// removed itself, never what it points to. False, with the reason in error, when carId is not
// installed or an entry could not be removed.
bool removeCar(const Session& session, const QString& carId, QString* error = nullptr);

} // namespace CarRemoval
