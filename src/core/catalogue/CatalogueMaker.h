#pragma once

#include "core/catalogue/ZipJudgement.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class ShotPictures;

// Makes a catalogue of a folder of car ZIPs for any static web host. Every ZIP of the folder is
// checked as the installer would check it (CarZip), without touching a game; each car that would
// install gets an entry of the catalogue with authors, in the order of the ZIPs' names:
//   name     the ZIP's name without its extension (or the name a host gave it in the catalogue
//            already there, kept together with its author while the ZIP is still there)
//   author   the given author, "Unknown" when none is given
//   shot     "shots/<zip name>.jpg" ("-2", "-3"... added when another ZIP's name differs only in
//            case), made from the ZIP's first picture scaled to fit 640 x 480; an empty line when
//            the ZIP holds no picture
//   ZIP      the ZIP's address relative to the catalogue
// The catalogue already there loses nothing that is not the ZIPs': its announcements and the
// entries whose ZIP lies elsewhere come first, as they were, and the entry of a ZIP that could
// not be judged here (no extractor, no temporary space) stays as it was. Addresses are
// percent-encoded, so any file name makes a working address. With a base address a server list
// naming the catalogue there is written as well, and a web page for players (CataloguePage).
// Files are written whole or not at all, in CR LF and Windows-1252 as the program reads them; a
// run stopped by stopRequested writes nothing.
class CatalogueMaker {
public:
    static inline const QString kCatalogueFile = QStringLiteral("Kavro_CL.dat");
    static inline const QString kServerListFile = QStringLiteral("sl.dat");
    static inline const QString kPageFile = QStringLiteral("index.html");
    static inline const QString kShotsFolder = QStringLiteral("shots");
    static inline const QString kUnknownAuthor = QStringLiteral("Unknown");
    static constexpr int kShotWidth = 640;
    static constexpr int kShotHeight = 480;
    static constexpr int kExtractorTimeoutMs = 120000;

    struct Options {
        QString zipFolder;
        QString outFolder;  // empty: the ZIP folder
        QString baseUrl;    // empty: no server list and no page
        QString serverName; // empty: the out folder's name
        QString author;     // empty: "Unknown"
    };
    struct Result {
        enum class State { Added, Refused, Kept, NotJudged };
        QString zipFile; // the ZIP's file name
        State state = State::Added;
        QString why;          // Refused: why it is no car; Kept, NotJudged: why it was not judged
        QStringList warnings; // what players will see otherwise than the host wrote it
        bool added() const { return state == State::Added; }
    };

    CatalogueMaker(QString extractorCommand, const ShotPictures& pictures);

    // Called once for every ZIP, in order, as soon as it has been judged.
    std::function<void(const Result&)> onZip;
    // A warning about what holds for every entry (the author, the server's name).
    std::function<void(const QString&)> onWarning;
    // Asked between and during the ZIPs: true stops the run, and nothing is written.
    std::function<bool()> stopRequested;

    // Empty when the catalogue (and the server list and page) were written, otherwise why
    // nothing was; results holds a line for every ZIP judged. interrupted() tells a stop.
    QString make(const Options& options, QList<Result>& results);
    bool interrupted() const { return m_interrupted; }

    // The server list naming one catalogue "Kavro_CL.dat" at baseUrl (a final "/" added).
    static QString serverListText(const QString& baseUrl, const QString& serverName);
    // The server list's address for a base address.
    static QString serverListUrl(const QString& baseUrl);

private:
    bool stopping();
    ZipJudgement judge(const QString& zipPath, const QString& folder);

    QString m_extractor;
    const ShotPictures& m_pictures;
    bool m_interrupted = false;
};
