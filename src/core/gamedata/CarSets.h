#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Named sets of car ids ("Rally", "Classics"): which cars a player wants in the game together.
// Kept in the game beside the garage, Data/.kavro-garage/SETS.json, written whole under a
// temporary name and renamed; read back entry by entry, leaving out anything that is not a name
// of plain text with car ids of four plain characters.
class CarSets {
public:
    struct Set {
        QString name;
        QStringList cars; // car ids, in the order saved
    };

    explicit CarSets(QString gamePath);

    static QString filePath(const QString& gamePath);

    // Why name cannot name a set (empty, over 64 characters, control characters); empty if it can.
    static QString nameRefusal(const QString& name);

    // The sets, sorted by name without regard to case.
    QList<Set> list() const;
    QStringList names() const;
    // The set called name (without regard to case); false when there is none.
    bool find(const QString& name, Set& set) const;
    // Saves (or replaces) the set name with cars.
    bool save(const QString& name, const QStringList& cars, QString* error = nullptr);
    // Deletes the set name; false (with why) when there is none.
    bool remove(const QString& name, QString* error = nullptr);

private:
    bool write(const QList<Set>& sets, QString* error);
    QString m_game;
};
