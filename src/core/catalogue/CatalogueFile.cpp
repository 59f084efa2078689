#include "core/catalogue/CatalogueFile.h"

#include "core/session/Session.h"

namespace {
const QLatin1String kScheme("http://");
const QLatin1String kSecureScheme("https://");
const QLatin1String kHeader("?CL");

bool isAbsolute(const QString& line) {
    return line.startsWith(kScheme) || line.startsWith(kSecureScheme);
}
} // namespace

CatalogueFile::Header CatalogueFile::headerOf(const QString& firstLine) {
    if (!firstLine.startsWith(kHeader))
        return Header::None;
    return firstLine.mid(3, 1) == QLatin1String("1") ? Header::Layout1 : Header::Outdated;
}

QString CatalogueFile::completeUrl(const QString& base, const QString& line) {
    if (line.isEmpty() || isAbsolute(line))
        return line;
    QString root = base;
    if (root.endsWith(u'/'))
        root.chop(1);
    return line.startsWith(u'/') ? root + line : root + u'/' + line;
}

QString CatalogueFile::cutZipUrl(const QString& url) {
    qsizetype again = url.indexOf(kScheme, 1);
    const qsizetype secure = url.indexOf(kSecureScheme, 1);
    if (secure > 0 && (again < 0 || secure < again))
        again = secure;
    return again > 0 ? url.mid(again) : url;
}

void CatalogueFile::parse(const QStringList& lines, const QString& baseUrl) {
    entries.clear();
    complete = true;
    const Header header = lines.isEmpty() ? Header::None : headerOf(lines.first());
    outdated = header == Header::Outdated;
    format = header == Header::Layout1 ? 1 : 0;
    const qsizetype perEntry = format == 1 ? 4 : 3;
    qsizetype pos = format == 1 ? 1 : 0;

    // Past the last line with text there is nothing left to read.
    qsizetype end = lines.size();
    while (end > pos && lines.at(end - 1).isEmpty())
        --end;

    while (pos < end) {
        if (pos + perEntry > lines.size()) {
            complete = false; // an entry cut short by the end of the file
            return;
        }
        Entry e;
        e.name = lines.at(pos);
        if (format == 1) {
            e.author = lines.at(pos + 1);
            e.shotUrl = completeUrl(baseUrl, lines.at(pos + 2));
            e.zipUrl = cutZipUrl(completeUrl(baseUrl, lines.at(pos + 3)));
        } else {
            e.shotUrl = lines.at(pos + 1);
            e.zipUrl = lines.at(pos + 2);
        }
        entries.append(e);
        pos += perEntry;
    }
}

void CatalogueFile::applyTo(Session& session) const {
    session.resetCatalogue();
    session.CatalogueFormat = format;
    for (const Entry& e : entries) {
        session.CarNames << e.name;
        session.CarAuthors << e.author;
        session.CarShotURLs << e.shotUrl;
        session.CarZipURLs << e.zipUrl;
    }
}
