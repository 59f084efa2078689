#pragma once

#include "core/catalogue/ServerList.h"

#include <QList>
#include <QString>
#include <QStringList>

class SettingsStore;
struct AppContext;

// The player's catalogue sources: addresses of server lists and of catalogues, kept in the
// settings store under Kavro's own key (the value "catalogues", a JSON array, so any character of
// an address or a name survives), each with its name and the state of its last fetch. The server
// window lists the servers of the built-in list, then those of every source; a catalogue source
// is one server of its own.
class CatalogueSources {
public:
    static inline const QString kValueName = QStringLiteral("catalogues");

    struct Source {
        QString url;
        QString name;
        QString lastFetch; // what the last fetch found, or why it gave nothing; empty: never
        QString when;      // the time of the last fetch, ISO 8601 UTC; empty: never
    };

    // What an address holds, as CatalogueAddress judges it (by its first line, as the host's
    // check does), with the servers it gives the server window.
    struct Found {
        enum class Kind { ServerList, Catalogue, Refused };
        Kind kind = Kind::Refused;
        int count = 0;      // servers of a list, cars of a catalogue
        QString name;       // the source's name
        ServerList servers; // what the server window lists: a catalogue is one server
        QString said;       // what was found, or why it is refused (naming the address)

        bool accepted() const { return kind != Kind::Refused; }
        // "a server list with 3 servers", "a catalogue of 120 cars", or why it is refused.
        QString text() const { return said; }
    };

    explicit CatalogueSources(SettingsStore& store);

    // The sources in the order they were added; none when the value is missing or unreadable.
    QList<Source> list() const;
    bool contains(const QString& url) const;
    // Adds the source at the end, or replaces the one of the same address in place. False when
    // the store cannot be written.
    bool add(const Source& source);
    // True when the address was a source and the store was written without it.
    bool remove(const QString& url);
    // Records what a fetch of the source at url found (or why it gave nothing), now.
    bool recordFetch(const QString& url, const QString& state);

    // Fetches the address (FetchFile's rules: http and https only, a bounded body, no box) and
    // judges what it holds; an address that is not http(s) is refused without a request.
    static Found judge(AppContext& ctx, const QString& url);
    // Judges the lines of a file fetched from url.
    static Found judgeLines(const QString& url, const QStringList& lines);
    // A source's name from its address: the host and the folder, "cars.example.net/hs".
    static QString nameOf(const QString& url);

    // The address a "kavro://add?url=<percent-encoded address>" link names (decoded); empty when
    // the link is not of that form.
    static QString linkAddress(const QString& link);

    // Fetches every source in turn, records what each gave, and appends their servers to into.
    // tried receives every address fetched; the result is the number of sources that gave
    // servers.
    int fetchAll(AppContext& ctx, ServerList& into, QStringList* tried = nullptr);

    // The stored text of a list of sources, and back (unreadable text gives none).
    static QString toText(const QList<Source>& sources);
    static QList<Source> fromText(const QString& text);

private:
    bool save(const QList<Source>& sources);

    SettingsStore& m_store;
};
