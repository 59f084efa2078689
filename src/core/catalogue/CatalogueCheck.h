#pragma once

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
// catalogue it names, or one catalogue. The files are fetched as the program fetches them
// (FetchFile, under the network rules) and read by the program's own readers; then every car's
// screenshot (it answers and is a picture) and ZIP (it answers, within the bounds of a download:
// an announced length of more than half a KB and at most the largest car, that the body matches;
// and it unpacks to a car the installer takes, see CarZip) are fetched, kAtOnce cars at a time.
// Nothing is kept: everything fetched lands in a temporary folder that goes when the check ends.
class CatalogueCheck : public QObject {
    Q_OBJECT
public:
    static constexpr int kAtOnce = 4;

    struct Car {
        QString catalogueUrl;
        QString name;
        QString author;
        QString shotUrl;
        QString zipUrl;
        QStringList problems; // empty: the car is fine
    };
    struct Report {
        QStringList problems; // of the server list and the catalogues themselves
        QList<Car> cars;      // in the catalogues' order
        bool interrupted = false;
        int wrongCars() const;
        bool clean() const { return problems.isEmpty() && wrongCars() == 0 && !interrupted; }
    };

    CatalogueCheck(AppContext& ctx, QString extractorCommand, const ShotPictures& pictures);
    ~CatalogueCheck() override;

    // Called after every car checked, with the number done and the number in all.
    std::function<void(int done, int total)> onProgress;

    // Checks the server list or catalogue at url. Returns early (interrupted) when the program
    // ends meanwhile.
    Report run(const QString& url);

    // "OK" or the car's problems, for one line of output.
    static QString verdict(const Car& car);

private:
    struct Task;
    void readCatalogue(const QString& url, const QString& baseUrl, Report& report);
    bool fetch(const QString& url, const QString& file, QString& problem);
    void startNext();
    void startShot(Task& task);
    void startZip(Task& task);
    void startUnpack(Task& task);
    void finish(Task& task);

    AppContext& m_ctx;
    QString m_extractor;
    const ShotPictures& m_pictures;
    std::unique_ptr<QTemporaryDir> m_work;
    QList<Car>* m_cars = nullptr;
    std::vector<std::unique_ptr<Task>> m_tasks;
    int m_next = 0;
    int m_done = 0;
    int m_files = 0;
    std::function<void()> m_allDone;
};
