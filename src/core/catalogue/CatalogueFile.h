#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Session;

// A server's car catalogue ("Kavro_CL.dat"). Layout 0 has no header and three lines per entry
// (name, screenshot URL, ZIP URL, taken as written); layout 1 starts with the header "?CL1" and
// has four lines per entry (name, author, screenshot and ZIP URLs completed against the server's
// base URL). A "?CL" header of any other version is outdated: the file is then read as layout 0,
// header line included.
class CatalogueFile {
public:
    struct Entry {
        QString name;
        QString author;
        QString shotUrl;
        QString zipUrl;
    };
    enum class Header { None, Layout1, Outdated };

    static Header headerOf(const QString& firstLine);
    // Completes a relative URL against the server's base URL; "http://" and "https://" lines
    // stay as they are, and so does an empty line (no address).
    static QString completeUrl(const QString& base, const QString& line);
    // Cuts a completed ZIP URL back to the first absolute address ("http://" or "https://")
    // found after its first character.
    static QString cutZipUrl(const QString& url);

    // Reads the file's lines. Entries cut short by the end of the file are dropped and make the
    // catalogue incomplete; empty lines after the last complete entry are ignored. A lone LF
    // inside a CR LF file is part of its line.
    void parse(const QStringList& lines, const QString& baseUrl);

    // The catalogue arrays of the session, reset and filled with the entries read.
    void applyTo(Session& session) const;

    qint16 format = 0;
    bool outdated = false;
    bool complete = true;
    QList<Entry> entries;
};
