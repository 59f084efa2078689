#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The server list file ("Kavro_SL.dat"): a header line "SL" with a version digit, the number of
// servers, then three lines per server (base URL, catalogue path, display name). The three
// arrays are indexed from 1; element 0 is a placeholder.
class ServerList {
public:
    enum class Status { Ok, Corrupt, Outdated };

    // Reads the lines of the file into the arrays (reset first). Corrupt: the header is not "SL",
    // or the count is 0 or below, too large, or more than the file holds; Outdated: a version
    // digit above 1. The arrays are left empty unless the result is Ok.
    Status parse(const QStringList& lines);

    int count() const { return int(ServerNames.size()) - 1; }
    void reset();
    // Adds a server after the last one.
    void append(const QString& url, const QString& cataloguePath, const QString& name);
    // Adds every server of other after the last one.
    void append(const ServerList& other);

    // The leading number of a line rounded to a 16-bit integer (halves to the even neighbour):
    // blanks are skipped, text after the number is ignored and a line without a number gives 0.
    // Nothing when the number is outside the 16-bit range.
    static std::optional<qint16> leadingCount(const QString& line);

    QStringList ServerURLs{QString()};
    QStringList ServerCataloguePaths{QString()};
    QStringList ServerNames{QString()};
};
