#pragma once

#include <QList>
#include <QString>

// The web page a host puts beside the catalogue (index.html): the server's name, an "Add to
// Kavro" link (kavro://add?url= and the server list's address), and every entry with its
// screenshot, name, author and the link to its ZIP. Every text is HTML-escaped; the page has no
// script and needs no other file (its style is inline); it reads on a phone as on a desktop.
// Addresses are the catalogue's lines: relative ones stay relative to the page, and only http
// and https addresses are linked otherwise.
class CataloguePage {
public:
    struct Entry {
        QString name;
        QString author;
        QString shotLine; // as the catalogue holds it
        QString zipLine;  // empty: an announcement
    };

    // "kavro://add?url=" and the address, percent-encoded.
    static QString addLink(const QString& address);

    static QString html(const QString& serverName, const QString& serverListUrl,
                        const QList<Entry>& entries);

    // Writes the page at path whole or not at all; false when it cannot.
    static bool write(const QString& path, const QString& serverName, const QString& serverListUrl,
                      const QList<Entry>& entries);
};
