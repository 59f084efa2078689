#pragma once

#include <QString>

// Where an unpacked car ZIP keeps the car: the extraction folder itself when it holds "CAR.VIV"
// (any letter case), else the one folder below it that does. False, with the reason the install
// gives ("the car's ZIP holds no CAR.VIV", or more than one), when there is none or several.
bool findCarFolder(const QString& extractionFolder, QString& carFolder, QString& reason);
