#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The state every window shares for the whole run; never saved. Growable arrays are indexed from
// 1, element 0 being an empty placeholder. Paths use "/"; GamePath and WorkDir end in "/".
class Session {
public:
    enum PathIndex { ServerListURL = 0, AdsURL = 1, WorkDir = 2 };

    // Layout of the loaded catalogue: 0 headerless, 1 with "?CL1" header and authors.
    qint16 CatalogueFormat = 0;
    QStringList CarNames{QString()};
    QStringList CarAuthors{QString()};
    QStringList CarShotURLs{QString()};
    QStringList CarZipURLs{QString()};
    QList<qint16> InstalledSerials{0};
    QStringList InstalledCarFolders{QString()};
    QString GamePath;
    // The address of the catalogue the car browser shows (recorded as a downloaded car's origin).
    QString CatalogueSite;
    QString WinZipPath;
    QString SessionPaths[3];

    QString workDir() const { return SessionPaths[WorkDir]; }
    // Number of catalogue entries (N) and of installed cars found by the last scan (n).
    int carCount() const { return int(CarNames.size()) - 1; }
    int installedCount() const { return int(InstalledCarFolders.size()) - 1; }

    // Back to the placeholder element alone.
    void resetCatalogue() {
        CarNames = {QString()};
        CarAuthors = {QString()};
        CarShotURLs = {QString()};
        CarZipURLs = {QString()};
    }
    void resetInstalled() {
        InstalledSerials = {0};
        InstalledCarFolders = {QString()};
    }
};
