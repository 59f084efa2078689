#pragma once

#include "core/catalogue/CatalogueFile.h"
#include "core/catalogue/ServerList.h"

#include <QString>
#include <QStringList>

struct AppContext;

// What an address a host hands out holds, told apart by its first line as the program reads it:
// a server list (the line starts with "SL"), a web page (an HTML document, such as the folder
// index a host gets by giving the base address), or else a catalogue. Only a server list and a
// catalogue that the program reads without a message are taken.
class CatalogueAddress {
public:
    enum class Kind { ServerList, Catalogue, WebPage, Refused };

    struct Judgement {
        Kind kind = Kind::Refused;
        int count = 0;           // the servers of a list, the cars of a catalogue
        int announcements = 0;   // a catalogue's entries without a ZIP line
        QString why;             // Refused: why, naming the address
        ServerList servers;      // ServerList: the list as read
        CatalogueFile catalogue; // Catalogue: the entries as read

        bool accepted() const { return kind == Kind::ServerList || kind == Kind::Catalogue; }
        // "a server list with 3 servers", "a catalogue of 120 cars", or why it is refused.
        QString text(const QString& url) const;
    };

    // Judges the lines of the file fetched from url. A catalogue's relative addresses are
    // completed against the folder of url.
    static Judgement judgeLines(const QString& url, const QStringList& lines);

    // Fetches url as the program fetches a server list (no box is shown: what the box would say
    // becomes why) and judges it.
    static Judgement fetchAndJudge(AppContext& ctx, const QString& url);

    // Fetches url into file as the program does. False with why (naming url, never file) when it
    // failed; a failure to write file on this machine is said as such.
    static bool fetch(AppContext& ctx, const QString& url, const QString& file, QString& why);

    // An HTML document rather than a text file of the program.
    static bool isWebPage(const QStringList& lines);

    // "http://h/cars/" of "http://h/cars/Kavro_CL.dat": everything up to the last "/".
    static QString folderOf(const QString& url);

    // The one-line refusal of a web page.
    static QString webPageText(const QString& url);
};
