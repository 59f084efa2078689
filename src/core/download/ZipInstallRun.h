#pragma once

#include <QList>
#include <QString>
#include <functional>

struct AppContext;

// Installs car ZIPs that are already on this machine, one after the other, through the download
// run's own block for a downloaded car: the car installer unpacks each ZIP where it lies (never
// copying over, moving or removing it) into a fresh folder of the work folder and installs it (a
// fresh car id, the copies, ID.TXT, the serial check); the run logs the car's block and scans the
// installed cars again before the next ZIP, showing the scan's notices through the context's
// prompts. At the end the log replaces the work folder's DOWNLOAD.LOG, so the program's log
// window shows the run.
class ZipInstallRun {
public:
    struct Car {
        QString zipPath; // as given
        QString name;    // the text of ID.TXT and the log block's name
    };
    struct Result {
        Car car;
        QString carId; // empty when the install failed
        qint16 serial = 0;
        QString warning; // the serial warning on one line, when the serial had to change
        QString failure; // why it failed
        bool installed() const { return !carId.isEmpty(); }
    };

    explicit ZipInstallRun(AppContext& ctx) : m_ctx(ctx) {}

    // A ZIP's name without its folder and its last extension ("cars/Aurora GT.zip": "Aurora GT").
    static QString defaultName(const QString& zipPath);

    // Why installing zipCount more cars beside the installed ones breaks the game's limit of
    // cars, with the browser's arithmetic; empty when they fit.
    static QString limitRefusal(int zipCount, int installed);

    // "cars/aurora.zip: installed as ABCD, serial number 3", with the warning appended when the
    // serial had to change, or "cars/aurora.zip: failed: " + the reason.
    static QString line(const Result& result);

    // The time of day in seconds that seeds the car ids; the real clock when not set.
    std::function<int()> timeOfDaySeconds;
    // Installs a car even when the same car is in the game or its garage already.
    bool again = false;
    // Called after each car, before the next one starts.
    std::function<void(const Result&)> onCar;

    // Installs the cars in order (the limit is the caller's to check first) and returns one
    // result for each. When the program ends while a car's extractor runs, that car is left out
    // of the game and of the results, and the run stops there.
    QList<Result> run(const QList<Car>& cars);

private:
    AppContext& m_ctx;
};
