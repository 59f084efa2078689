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

// Removes the installed car carId whole or not at all: a car the installer made (see
// CarPaths::isCarId) leaves Data/Cars in one rename (into the game's staging folder on the same
// filesystem, see InstallStaging), then it, its save folder and pictures are deleted; a removal
// that is stopped, or that cannot delete all of it, keeps its record and is finished at the next
// start. Other names, and a car that cannot be moved, are removed in place (the car folder last,
// only when the rest is gone). A symbolic link is removed itself, never what it points to. False,
// with the reason in error, when carId is not installed or something could not be removed (every
// such path named: "cannot remove \"...\"").
bool removeCar(const Session& session, const QString& carId, QString* error = nullptr);

} // namespace CarRemoval
