#pragma once

#include <QString>
#include <QStringList>

// A car arrives in the game in one rename. Its install assembles the car folder (CAR.VIV, ID.TXT)
// in the game's staging folder, outside Data/Cars so that the game never takes it for a car, and
// on the same filesystem as the real Data/Cars so that the last step stays one rename:
// Data/.kavro-staging/<id>/, or, when Data/Cars is a link to another disk, .kavro-staging/<id>/
// beside the folder it points to. Beside the car folder lies its record <id>.PLACED, written and
// flushed to disk before anything it lists is placed: what the install places elsewhere in the
// game (the save folder, the video-wall pictures, the folders it has to create for them). The
// install's last step renames the folder into Data/Cars/<id>; the record goes after it. Every
// folder a rename or delete changes is flushed after it.
//
// A car folder still in the staging folder belongs to an install that never finished (the
// program was killed, the machine lost power): undoUnfinished() takes back what its record lists.
// Nothing read there is trusted: only entries named for a car id as the installer makes it are
// taken, only record lines that the car's paths allow (see CarPaths), and a link is removed
// itself, never followed. Anything else stays where it is, named in one line.
class InstallStaging {
public:
    InstallStaging(const QString& gamePath, const QString& carId);

    // The staging folder new installs and removals use (ends in "/"): on the filesystem of the
    // real Data/Cars.
    static QString root(const QString& gamePath);
    // Every staging folder of the game the undo looks in: Data/.kavro-staging/ and, when
    // different, the one beside the real Data/Cars.
    static QStringList roots(const QString& gamePath);
    // The car ids that have an entry in a staging folder: no new install may take them.
    static QStringList heldIds(const QString& gamePath);
    // Undoes every install that never finished, finishes every removal that was stopped, removes
    // what finished installs left in the staging folder and the temporary copies that a killed
    // archive rewrite left in car folders. One line for each car undone or finished, and one for
    // each thing left where it is.
    static QStringList undoUnfinished(const QString& gamePath);

    // Where the car folder is assembled (ends in "/").
    QString carFolder() const { return m_car + u'/'; }

    // Writes the record (paths below the game folder, in the order they are placed: "dir" a
    // folder created empty for what follows, "tree" the save folder with its contents, "file" a
    // picture) and flushes it to disk, then creates the car folder.
    bool begin(const QStringList& record, QString& reason);
    // A removal: writes the record of what goes with the car (its save folder and pictures),
    // then renames the car's entry in Data/Cars into the staging folder, so that the game no
    // longer sees the car; undo() then removes all of it, and undoUnfinished() finishes a removal
    // that was stopped. A failed rename changes nothing.
    bool takeOut(const QString& carEntry, const QStringList& record, QString& reason);
    // Renames the car folder into target (Data/Cars/<id>); a failed rename changes nothing.
    bool arrive(const QString& target, QString& reason);
    // After arrive(): removes the record.
    void finish();
    // Takes back what the record lists, then removes the car folder and the record. What could
    // not be removed is returned (paths), and the record then stays for the next start.
    QStringList undo();

    // Record lines.
    static QString dirLine(const QString& relative) { return QStringLiteral("dir ") + relative; }
    static QString treeLine(const QString& relative) { return QStringLiteral("tree ") + relative; }
    static QString fileLine(const QString& relative) { return QStringLiteral("file ") + relative; }

private:
    bool writeRecord(const QStringList& record, QString& reason);
    bool isFree(QString& reason) const;

    QString m_game;
    QString m_id;
    QString m_root;
    QString m_car;    // the car folder in the staging folder, without a trailing "/"
    QString m_record; // m_car + ".PLACED"
};
