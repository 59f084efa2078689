#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

// One move of cars between the game and its garage, as renames written down before the first
// of them: Data/.kavro-garage/JOURNAL, synced, then each rename, then the journal goes. A line
// names a car and one of its parts, never a path: "park ABCD car", "park ABCD save",
// "park ABCD picture ABCD1.QFS", "return ..." the same way. The paths are made from the car id
// and the part by the one definition of where a car lives, in the game and in the garage, so a
// journal read back can move nothing else. recover() finishes a journal left behind: each
// rename whose source is still there and whose target is free is done.
class GarageJournal {
public:
    explicit GarageJournal(QString gamePath);

    // Four characters that can name a folder: no "/", "\", ".", ":" or control character.
    static bool isCarId(const QString& id);
    // What of the game would stand in the way of car id returning (its save folder, a picture
    // of that id): a description such as "the save folder SaveData/Cars/ABCD"; empty when free.
    static QString takenPlace(const QString& gamePath, const QString& id);

    // The renames that move the installed car id (as spelt in Data/Cars) into the garage, or the
    // parked car id back into the game. False (with why) when a place it goes to is taken.
    bool addPark(const QString& id, QString* error);
    bool addReturn(const QString& id, QString* error);
    // Said by recover() when it finishes this move ("the park of ABCD").
    void describe(const QString& what) { m_what = what; }

    // Writes the journal, does the renames, removes the journal. A rename that fails undoes the
    // ones done before it and removes the journal: false with why, nothing moved. beforeStep is
    // asked before each step (0: the journal, then each rename, then the end); a Kill answer
    // (1) leaves everything as it stands, as a killed program would.
    bool run(const std::function<int(int)>& beforeStep, QString* error);

    // Finishes the journal left in the game's garage, if there is one; returns its description
    // (empty when there was none).
    QString recover();

private:
    struct Move {
        bool park = true;
        QString id;
        QString part;    // "car", "save" or "picture"
        QString picture; // the picture's name, for "picture"
    };
    QString gameSide(const Move& m) const;
    QString garageSide(const Move& m) const;
    QString line(const Move& m) const;
    bool parse(const QString& line, Move& m) const;
    bool writeJournal(QString* error) const;
    void syncFolders() const;
    void tidy() const;

    QString m_game;
    QString m_journal;
    QString m_what;
    QList<Move> m_moves;
};
