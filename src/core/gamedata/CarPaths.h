#pragma once

#include <QString>
#include <QStringList>

// What one car id may place in the game, and nothing else: its folder in Data/Cars, its save
// folder in SaveData/Cars, its video-wall pictures in Data/FeArt/Vidwall ("ABCD.QFS" and "ABCD" +
// one digit + ".QFS") and the folders made for those (Data, Data/FeArt, Data/FeArt/Vidwall,
// SaveData, SaveData/Cars). Install, the undo of what never finished, removal and the garage all
// ask this one definition; whatever it does not allow is never taken away.
//
// Paths below the game folder ("relative") use "/" and match each part without regard to case,
// as the game's folders do; ".", ".." and empty parts never match.
class CarPaths {
public:
    // What a record line places (see InstallStaging's record).
    enum class Kind {
        MadeFolder, // a folder created empty for what follows (removed only while empty)
        SaveFolder, // the car's save folder with its contents
        Picture,    // one video-wall picture
    };

    // A car id as the installer makes it: exactly four capital letters A to Z.
    static bool isCarId(const QString& name);
    // "ABCD.QFS", or "ABCD" + one digit + ".QFS", for carId, without regard to case.
    static bool isPictureOf(const QString& name, const QString& carId);
    // True when carId (a car id, see isCarId) may place what relative names as kind.
    static bool allows(const QString& carId, Kind kind, const QString& relative);
    // The archive rewrite's temporary copy: "CAR.VIV." + six letters A to Z or a to z (the name
    // the atomic save gives it), beside CAR.VIV in a car's folder. A rewrite that was killed
    // leaves it; nothing else has that name.
    static bool isArchiveLeftover(const QString& name);

    // The places of carId in the game gamePath, each part matched without regard to case
    // against what exists; what does not exist keeps the usual spelling.
    CarPaths(const QString& gamePath, const QString& carId);

    QString id() const { return m_id; }
    // Data/Cars/ (ends in "/"), and the car's entry in it (the spelling found there).
    QString carsFolder() const { return m_cars; }
    QString carEntry() const;
    // SaveData/Cars/ (ends in "/"), and the car's save folder in it (the spelling found there).
    QString savesFolder() const { return m_saves; }
    QString saveFolder() const;
    // Data/FeArt/Vidwall/ (ends in "/"), and the car's pictures that are in it now.
    QString vidwallFolder() const { return m_vidwall; }
    QStringList pictures() const;
    // path below the game folder, relative to it ("SaveData/Cars/ABCD").
    QString relative(const QString& path) const;

private:
    QString m_game;
    QString m_id;
    QString m_cars;
    QString m_saves;
    QString m_vidwall;
};
