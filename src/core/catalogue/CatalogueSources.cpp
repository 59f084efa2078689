#include "core/catalogue/CatalogueSources.h"

#include "core/catalogue/CatalogueAddress.h"
#include "core/session/AppContext.h"
#include "core/session/AppSettings.h"
#include "platform/NetworkPolicy.h"
#include "platform/ProgramEnd.h"
#include "platform/SettingsStore.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUrlQuery>

namespace {

CatalogueSources::Found refused(const QString& why) {
    CatalogueSources::Found f;
    f.said = why;
    return f;
}

} // namespace

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

namespace {

CatalogueSources::Found fromJudgement(const QString& url, const CatalogueAddress::Judgement& j) {
    CatalogueSources::Found found = refused(j.text(url));
    switch (j.kind) {
    case CatalogueAddress::Kind::ServerList:
        found.kind = CatalogueSources::Found::Kind::ServerList;
        found.servers = j.servers;
        break;
    case CatalogueAddress::Kind::Catalogue: {
        // One server of its own: the catalogue's folder and its file name.
        found.kind = CatalogueSources::Found::Kind::Catalogue;
        const QString base = CatalogueAddress::folderOf(url);
        found.servers.append(base, url.mid(base.size()), CatalogueSources::nameOf(url));
        break;
    }
    case CatalogueAddress::Kind::WebPage:
    case CatalogueAddress::Kind::Refused:
        return found;
    }
    found.count = j.count;
    found.name = CatalogueSources::nameOf(url);
    return found;
}

} // namespace

CatalogueSources::Found CatalogueSources::judgeLines(const QString& url, const QStringList& lines) {
    return fromJudgement(url, CatalogueAddress::judgeLines(url, lines));
}

CatalogueSources::Found CatalogueSources::judge(AppContext& ctx, const QString& url) {
    if (!NetworkPolicy::allows(url))
        return refused(url + QStringLiteral(": only http:// and https:// addresses can be added"));
    return fromJudgement(url, CatalogueAddress::fetchAndJudge(ctx, url));
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
