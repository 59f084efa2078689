#pragma once

#include <QString>
#include <QStringList>

// A car arrives in the game in one rename. Its install assembles the car folder (CAR.VIV, ID.TXT)
// in the game's staging folder on the game's own disk, outside Data/Cars so that the game never
// takes it for a car: Data/.kavro-staging/<id>/. Beside it lies its record <id>.PLACED, written
// before the folder and before anything is placed elsewhere in the game, listing what the install
// places there (the save folder, the video-wall pictures, the folders it has to create for them).
// The install's last step renames the folder into Data/Cars/<id>; the record goes after it.
//
// A car folder still in the staging folder belongs to an install that never finished (the
// program was killed, the machine lost power): undoUnfinished() takes back exactly what its
// record lists. A record without its folder belongs to a car that arrived (or to an install that
// had placed nothing yet): only the record is removed.
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
    QString carFolder() const { return m_car + u'/'; }

    // Writes the record (paths below the game folder, in the order they are placed: "dir" a
    // folder created empty for what follows, "tree" a folder with its contents, "file" a file),
    // then creates the car folder.
    bool begin(const QStringList& record, QString& reason);
    // A removal: writes the record of what goes with the car (its save folder and pictures),
    // then renames the car's entry in Data/Cars into the staging folder, so that the game no
    // longer sees the car; undo() then removes all of it, and undoUnfinished() finishes a removal
    // that was killed. A failed rename changes nothing.
    bool takeOut(const QString& carEntry, const QStringList& record, QString& reason);
    // Renames the car folder into target (Data/Cars/<id>); a failed rename changes nothing.
    bool arrive(const QString& target, QString& reason);
    // After arrive(): removes the record.
    void finish();
    // Takes back what the record lists, then removes the car folder and the record.
    void undo();

    // Record lines.
    static QString dirLine(const QString& relative) { return QStringLiteral("dir ") + relative; }
    static QString treeLine(const QString& relative) { return QStringLiteral("tree ") + relative; }
    static QString fileLine(const QString& relative) { return QStringLiteral("file ") + relative; }

private:
    bool writeRecord(const QStringList& record, QString& reason);
    static void undoCar(const QString& gamePath, const QString& car);

    QString m_game;
    QString m_car;    // the car folder in the staging folder, without a trailing "/"
    QString m_record; // m_car + ".PLACED"
};
