#pragma once

#include "core/catalogue/CatalogueFile.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QTemporaryDir;
class ShotPictures;
struct AppContext;

// Checks what a host publishes: a server list (its first line starts with "SL") and every
// catalogue it names, or one catalogue (see CatalogueAddress). The files are fetched as the
// program fetches them (FetchFile, under the network rules) and read by the program's own
// readers; then every car's screenshot (it answers and is a picture) and ZIP (it answers, within
// the bounds of a download: an announced length of more than half a KB and at most the largest
// car, that the body matches; and it unpacks to a car the installer takes, see CarZip) are
// fetched, kAtOnce cars at a time. An entry without a ZIP line is an announcement: only its
// screenshot is checked. Each entry is handed to onCar in the catalogue's order as soon as it and
// those before it are done, and then forgotten, so the memory used does not grow with the
// catalogue's size beyond its entries. Nothing is kept: everything fetched lands in a temporary
// folder that goes when the check ends.
class CatalogueCheck : public QObject {
    Q_OBJECT
public:
    static constexpr int kAtOnce = 4;
    // Entries done ahead of the first one still running, at most (their lines wait for it).
    static constexpr int kAhead = 64;

    struct Car {
        QString catalogueUrl;
        QString name;
        QString author;
        QString shotUrl;
        QString zipUrl;
        QStringList problems; // the host's: empty when the car is fine
        QString notChecked;   // why this machine could not finish checking it (not the host's)
        bool announcement() const { return zipUrl.isEmpty(); }
        bool wrong() const { return !problems.isEmpty(); }
    };
    struct Report {
        QString refusal; // why the address itself was not read; nothing else was done
        bool serverList = false;
        int cars = 0;       // entries with a ZIP line
        int wrong = 0;      // of the cars
        int notChecked = 0; // of the cars
        int announcements = 0;
        int wrongAnnouncements = 0; // their screenshot
        int problems = 0;           // of the server list and the catalogues themselves
        bool interrupted = false;
        bool clean() const {
            return refusal.isEmpty() && wrong == 0 && wrongAnnouncements == 0 && notChecked == 0 &&
                   problems == 0 && !interrupted;
        }
    };

    CatalogueCheck(AppContext& ctx, QString extractorCommand, const ShotPictures& pictures);
    ~CatalogueCheck() override;

    // Every entry with its findings, in the catalogues' order.
    std::function<void(const Car&)> onCar;
    // A problem of the server list or of a catalogue itself, naming its address.
    std::function<void(const QString&)> onProblem;
    // After every entry done, with the number done and the number in the catalogue being checked.
    std::function<void(int done, int total)> onProgress;

    // Checks the server list or catalogue at url. Returns early (interrupted) when the program
    // ends meanwhile.
    Report run(const QString& url);

    // "OK", "announcement", or the car's problems, for one line of output.
    static QString verdict(const Car& car);

private:
    struct Task;
    // Fetches the catalogue at url unless its lines are given, reads it and checks its entries.
    void checkCatalogue(const QString& url, const QString& baseUrl, QStringList lines = {});
    void checkEntries(const QString& url, const QList<CatalogueFile::Entry>& entries);
    void problem(const QString& text);
    bool stopped() const;
    void startShot(Task& task);
    void startZip(Task& task);
    void startUnpack(Task& task);
    void finish(Task& task);

    AppContext& m_ctx;
    QString m_extractor;
    const ShotPictures& m_pictures;
    std::unique_ptr<QTemporaryDir> m_work;
    Report* m_report = nullptr;
    int m_running = 0;
    int m_files = 0;
    std::function<void()> m_wake;
};
