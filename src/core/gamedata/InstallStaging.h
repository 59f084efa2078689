#pragma once

#include <QString>
#include <QStringList>

// A car arrives in the game in one rename. Its install assembles the car folder (CAR.VIV, ID.TXT)
// in a staging folder on the game's own disk, outside Data/Cars so that the game never takes it
// for a car: Data/.kavro-staging/<id>/car/. Beside it lies the record PLACED.TXT, written before
// anything is placed elsewhere in the game, listing what the install places there (the save
// folder, the video-wall pictures, the folders it has to create for them). The install's last
// step renames car/ into Data/Cars/<id>; the record and the staging folder go after it.
//
// A staging folder that still holds car/ belongs to an install that never finished (the program
// was killed, the machine lost power): undoUnfinished() takes back exactly what its record lists.
// One whose car/ is gone belongs to a car that arrived: only the staging folder is removed.
class InstallStaging {
public:
    InstallStaging(const QString& gamePath, const QString& carId);

    // gamePath + "Data/.kavro-staging/" (Data matched without regard to case).
    static QString root(const QString& gamePath);
    // The car ids that have a staging folder: no new install may take them.
    static QStringList heldIds(const QString& gamePath);
    // Undoes every install that never finished and removes what finished installs left in the
    // staging folder. One line for each car undone, saying which.
    static QStringList undoUnfinished(const QString& gamePath);

    // Where the car folder is assembled (ends in "/").
    QString carFolder() const { return m_folder + QStringLiteral("car/"); }

    // Creates the staging folder, the record (paths below the game folder, in the order they are
    // placed: "dir" a folder created empty for what follows, "tree" a folder with its contents,
    // "file" a file) and the folder car/.
    bool begin(const QStringList& record, QString& reason);
    // A removal: writes the record of what goes with the car (its save folder and pictures),
    // then renames the car's entry in Data/Cars into car/, so that the game no longer sees the
    // car; undo() then removes all of it, and undoUnfinished() finishes a removal that was
    // killed. A failed rename changes nothing.
    bool takeOut(const QString& carEntry, const QStringList& record, QString& reason);
    // Renames car/ into target (Data/Cars/<id>); a failed rename changes nothing.
    bool arrive(const QString& target, QString& reason);
    // After arrive(): removes the record and the staging folder.
    void finish();
    // Takes back what the record lists and removes the staging folder.
    void undo();

    // Record lines.
    static QString dirLine(const QString& relative) { return QStringLiteral("dir ") + relative; }
    static QString treeLine(const QString& relative) { return QStringLiteral("tree ") + relative; }
    static QString fileLine(const QString& relative) { return QStringLiteral("file ") + relative; }

private:
    bool writeRecord(const QStringList& record, QString& reason);
    static void undoFolder(const QString& gamePath, const QString& folder);

    QString m_game;
    QString m_folder; // the staging folder of the car, ending in "/"
};
