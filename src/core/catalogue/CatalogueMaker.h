#pragma once

#include <QList>
#include <QString>
#include <functional>

class ShotPictures;

// Makes a catalogue of a folder of car ZIPs for any static web host. Every ZIP of the folder is
// checked as the installer would check it (CarZip), without touching a game; each car that would
// install gets an entry of the catalogue with authors, in the order of the ZIPs' names:
//   name     the ZIP's name without its extension (or the name a host gave it in the catalogue
//            already there, kept together with its author while the ZIP is still there)
//   author   the given author, "Unknown" when none is given
//   shot     "shots/<zip name>.jpg", made from the ZIP's first picture scaled to fit 640 x 480;
//            an empty line when the ZIP holds no picture
//   ZIP      the ZIP's address relative to the catalogue
// Addresses are percent-encoded, so any file name makes a working address. With a base address a
// server list naming the catalogue there is written as well. Files are written whole or not at
// all, in CR LF and Windows-1252 as the program reads them.
class CatalogueMaker {
public:
    static inline const QString kCatalogueFile = QStringLiteral("Kavro_CL.dat");
    static inline const QString kServerListFile = QStringLiteral("sl.dat");
    static inline const QString kShotsFolder = QStringLiteral("shots");
    static inline const QString kUnknownAuthor = QStringLiteral("Unknown");
    static constexpr int kShotWidth = 640;
    static constexpr int kShotHeight = 480;

    struct Options {
        QString zipFolder;
        QString outFolder;  // empty: the ZIP folder
        QString baseUrl;    // empty: no server list
        QString serverName; // empty: the out folder's name
        QString author;     // empty: "Unknown"
    };
    struct Result {
        QString zipFile; // the ZIP's file name
        bool added = false;
        QString why; // why it was refused
    };

    CatalogueMaker(QString extractorCommand, const ShotPictures& pictures);

    // Called once for every ZIP, in order, as soon as it has been judged.
    std::function<void(const Result&)> onZip;

    // Empty when the catalogue (and the server list) were written, otherwise why nothing was;
    // results holds a line for every ZIP judged.
    QString make(const Options& options, QList<Result>& results);

    // The server list naming one catalogue "Kavro_CL.dat" at baseUrl (a final "/" added).
    static QString serverListText(const QString& baseUrl, const QString& serverName);

private:
    QString m_extractor;
    const ShotPictures& m_pictures;
};
