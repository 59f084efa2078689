#include "core/catalogue/CatalogueSources.h"

#include "core/catalogue/CatalogueFile.h"
#include "core/catalogue/FetchQuietly.h"
#include "core/session/AppContext.h"
#include "core/session/AppSettings.h"
#include "platform/AnsiText.h"
#include "platform/NetworkPolicy.h"
#include "platform/ProgramEnd.h"
#include "platform/SettingsStore.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>
#include <QUrlQuery>

namespace {

// The folder part of an address: everything up to its last "/".
QString folderOf(const QString& url) {
    return url.left(url.lastIndexOf(u'/') + 1);
}

CatalogueSources::Found refused(const QString& why) {
    CatalogueSources::Found f;
    f.why = why;
    return f;
}

bool looksLikeWebPage(const QStringList& lines) {
    for (const QString& line : lines) {
        const QString t = line.trimmed();
        if (t.isEmpty())
            continue;
        return t.startsWith(u'<');
    }
    return false;
}

const QString kNeither = QStringLiteral("it is neither a server list nor a catalogue");

} // namespace

QString CatalogueSources::Found::text() const {
    switch (kind) {
    case Kind::ServerList:
        return count == 1 ? QStringLiteral("a server list with 1 server")
                          : QStringLiteral("a server list with %1 servers").arg(count);
    case Kind::Catalogue:
        return count == 1 ? QStringLiteral("a catalogue of 1 car")
                          : QStringLiteral("a catalogue of %1 cars").arg(count);
    case Kind::Refused:
        break;
    }
    return why;
}

CatalogueSources::CatalogueSources(SettingsStore& store) : m_store(store) {}

QString CatalogueSources::toText(const QList<Source>& sources) {
    QJsonArray array;
    for (const Source& s : sources)
        array.append(QJsonObject{{QStringLiteral("url"), s.url},
                                 {QStringLiteral("name"), s.name},
                                 {QStringLiteral("lastFetch"), s.lastFetch},
                                 {QStringLiteral("when"), s.when}});
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QList<CatalogueSources::Source> CatalogueSources::fromText(const QString& text) {
    QList<Source> sources;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8());
    for (const QJsonValue& v : doc.array()) {
        const QJsonObject o = v.toObject();
        Source s{o.value(QStringLiteral("url")).toString(),
                 o.value(QStringLiteral("name")).toString(),
                 o.value(QStringLiteral("lastFetch")).toString(),
                 o.value(QStringLiteral("when")).toString()};
        // Only what the program would have added: a readable address, once.
        bool seen = false;
        for (const Source& earlier : std::as_const(sources))
            seen = seen || earlier.url == s.url;
        if (NetworkPolicy::allows(s.url) && !seen)
            sources.append(s);
    }
    return sources;
}

QList<CatalogueSources::Source> CatalogueSources::list() const {
    // Read whatever its length: the list is not held to the 1024 bytes of a setting.
    const auto value =
        m_store.readValue(RegistryRoot::CurrentUser, AppSettings::kAppKey, kValueName);
    return value ? fromText(QString::fromUtf8(value->data)) : QList<Source>();
}

bool CatalogueSources::contains(const QString& url) const {
    for (const Source& s : list())
        if (s.url == url)
            return true;
    return false;
}

bool CatalogueSources::save(const QList<Source>& sources) {
    return m_store.WriteSetting(RegistryRoot::CurrentUser, AppSettings::kAppKey, kValueName,
                                toText(sources));
}

bool CatalogueSources::add(const Source& source) {
    QList<Source> sources = list();
    for (Source& s : sources) {
        if (s.url == source.url) {
            s = source;
            return save(sources);
        }
    }
    sources.append(source);
    return save(sources);
}

bool CatalogueSources::remove(const QString& url) {
    QList<Source> sources = list();
    const qsizetype before = sources.size();
    sources.removeIf([&url](const Source& s) { return s.url == url; });
    return sources.size() != before && save(sources);
}

bool CatalogueSources::recordFetch(const QString& url, const QString& state) {
    QList<Source> sources = list();
    for (Source& s : sources) {
        if (s.url == url) {
            s.lastFetch = state;
            s.when = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
            return save(sources);
        }
    }
    return false;
}

QString CatalogueSources::nameOf(const QString& url) {
    const QUrl u(url);
    QString folder = u.path();
    folder = folder.left(folder.lastIndexOf(u'/'));
    QString host = u.host();
    if (u.port() > 0)
        host += u':' + QString::number(u.port());
    return host + folder;
}

QString CatalogueSources::linkAddress(const QString& link) {
    const QUrl url(link, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().compare(QLatin1String("kavro"), Qt::CaseInsensitive) != 0 ||
        url.host() != QLatin1String("add") || !(url.path().isEmpty() || url.path() == u'/') ||
        url.hasFragment() || !url.userInfo().isEmpty() || url.port() != -1)
        return {};
    const QUrlQuery query(url);
    const QList<QPair<QString, QString>> items = query.queryItems(QUrl::FullyDecoded);
    if (items.size() != 1 || items.first().first != QLatin1String("url"))
        return {};
    return items.first().second.trimmed();
}

CatalogueSources::Found CatalogueSources::judgeLines(const QString& url, const QStringList& lines) {
    if (looksLikeWebPage(lines))
        return refused(QStringLiteral("it is a web page, not a server list or a catalogue"));
    Found found;
    found.name = nameOf(url);
    if (!lines.isEmpty() && lines.first().startsWith(QLatin1String("SL"))) {
        switch (found.servers.parse(lines)) {
        case ServerList::Status::Corrupt:
            return refused(QStringLiteral("it starts as a server list, but its servers cannot "
                                          "be read"));
        case ServerList::Status::Outdated:
            return refused(QStringLiteral("it is a server list of a newer version than Kavro "
                                          "reads"));
        case ServerList::Status::Ok:
            break;
        }
        found.kind = Found::Kind::ServerList;
        found.count = found.servers.count();
        return found;
    }
    const QString base = folderOf(url);
    CatalogueFile catalogue;
    catalogue.parse(lines, base);
    if (catalogue.outdated)
        return refused(QStringLiteral("it is a catalogue of a newer version than Kavro reads"));
    if (!catalogue.complete)
        return refused(kNeither + QStringLiteral(" (its last entry is cut short)"));
    if (catalogue.format == 0) {
        // Without a header any text of three lines reads as a catalogue: at least one of its
        // entries must name a car's address.
        bool anyZip = false;
        for (const CatalogueFile::Entry& e : std::as_const(catalogue.entries))
            anyZip = anyZip || NetworkPolicy::allows(e.zipUrl);
        if (!anyZip)
            return refused(kNeither);
    }
    found.kind = Found::Kind::Catalogue;
    found.count = int(catalogue.entries.size());
    found.servers.append(base, url.mid(base.size()), found.name);
    return found;
}

CatalogueSources::Found CatalogueSources::judge(AppContext& ctx, const QString& url) {
    if (!NetworkPolicy::allows(url))
        return refused(QStringLiteral("only http:// and https:// addresses can be added"));
    QTemporaryDir folder;
    if (!folder.isValid())
        return refused(QStringLiteral("no temporary folder: %1").arg(folder.errorString()));
    const QString file = folder.filePath(QStringLiteral("source.dat"));
    QString message;
    if (!FetchQuietly(ctx, url, file, message))
        return refused(QStringLiteral("it did not answer: ") +
                       message.replace(u'\r', u' ').replace(u'\n', u' ').simplified());
    QStringList lines;
    if (!AnsiText::readLines(file, lines))
        return refused(QStringLiteral("what it sent cannot be read"));
    return judgeLines(url, lines);
}

int CatalogueSources::fetchAll(AppContext& ctx, ServerList& into, QStringList* tried) {
    int gave = 0;
    for (const Source& s : list()) {
        if (ctx.programEnd && ctx.programEnd->ended())
            break;
        if (tried)
            tried->append(s.url);
        const Found found = judge(ctx, s.url);
        recordFetch(s.url, found.text());
        if (found.servers.count() > 0) {
            into.append(found.servers);
            ++gave;
        }
    }
    return gave;
}
