#pragma once

#include "core/gamedata/InstalledCarList.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class Session;

// The game takes at most 50 cars; the garage keeps the others ready to come back. A parked car
// leaves the game whole: its entry in Data/Cars, its save folder and its video-wall pictures move
// into Data/.kavro-garage/<id>/ (as "car", "save" and "vidwall/<picture>"), on the game's own
// disk and outside Data/Cars, so the game never sees it. Every move is a rename. Park, return and
// a switch to a set are one journal each (Data/.kavro-garage/JOURNAL), written and synced before
// the first rename: a move that was killed is finished by recover() at the next start. Limits
// and serial numbers are checked, and the returning cars renumbered in the garage, before the
// journal is written; a move refused changes nothing.
class Garage {
public:
    static constexpr int kMaxCarsInGame = 50;

    explicit Garage(Session& session);

    // GamePath + "Data/.kavro-garage/" (Data matched without regard to case).
    static QString root(const QString& gamePath);
    // Finishes a park, return or switch that never finished (a journal left behind) and tidies
    // what an interrupted move left in the garage. One line for each move finished, saying what.
    static QStringList recover(const QString& gamePath);

    // The parked cars' ids (as spelt in the garage), sorted without regard to case.
    QStringList parkedIds() const;
    static QStringList parkedIn(const QString& gamePath);
    // The parked car's CAR.VIV.
    static QString archivePath(const QString& gamePath, const QString& id);
    // The parked cars as the list shows them: id, serial, name (ID.TXT), invalid archive.
    QList<InstalledCar> parkedCars() const;
    // The spelling of the parked car id (matched without regard to case); empty when not parked.
    QString parkedName(const QString& id) const;
    // The cars in the game now (the installed-car count).
    int carsInGame() const;

    struct Result {
        bool ok = false;
        QString error;      // why nothing was moved (or, rarely, why a move was undone)
        QStringList warnings; // the serial warnings of returned cars, as an install writes them
        QStringList moved;  // the car ids parked or returned, in order
    };

    // Parks the installed cars ids, all or none.
    Result park(const QStringList& ids);
    // Returns the parked cars ids, all or none: refused past 50 cars in the game (the limit's
    // words), or when one of their car ids is taken in the game meanwhile. Serial numbers held by
    // a car in the game are renumbered as an install renumbers them.
    Result unpark(const QStringList& ids);
    // Makes the cars ids the cars in the game: every other car in the game is parked, every
    // parked one of ids returns; all in one journal. Ids in neither are left out (named in
    // Result::error only when none of ids is known).
    Result switchTo(const QStringList& ids);
    // Deletes a parked car for good (its garage folder and its recorded origin).
    bool removeParked(const QString& id, QString* error = nullptr);

    // The limit's words for returning `returning` cars beside `inGame` cars in the game.
    static QString limitRefusal(int returning, int inGame);

    // Asked before each step that changes the game or the garage, counted from 0: Kill leaves
    // the move as a killed program would (the tests end a move at each step this way).
    enum class StepAnswer { Go, Kill };
    std::function<StepAnswer(int step)> beforeStep;

private:
    std::function<int(int)> stepHook() const;
    Result moveCars(const QStringList& leaving, const QStringList& ids, bool isSwitch);

    Session& m_session;
};
