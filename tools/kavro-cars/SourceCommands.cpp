#include "SourceCommands.h"

#include "core/catalogue/CatalogueSources.h"
#include "core/session/AppContext.h"
#include "platform/SettingsStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>

namespace {

const QString kUsage =
    QStringLiteral("use: kavro-cars source list [--json] | source add URL | source remove URL");

int fail(QTextStream& err, const QString& message) {
    err << "kavro-cars: " << message << Qt::endl;
    return 1;
}

int list(AppContext& ctx, bool json, QTextStream& out) {
    const QList<CatalogueSources::Source> sources = CatalogueSources(*ctx.settings).list();
    if (json) {
        QJsonArray array;
        for (const CatalogueSources::Source& s : sources)
            array.append(QJsonObject{{QStringLiteral("url"), s.url},
                                     {QStringLiteral("name"), s.name},
                                     {QStringLiteral("lastFetch"), s.lastFetch},
                                     {QStringLiteral("when"), s.when}});
        out << QString::fromUtf8(QJsonDocument(array).toJson()) << Qt::flush;
        return 0;
    }
    for (const CatalogueSources::Source& s : sources)
        out << s.url << "  " << s.name << "  "
            << (s.lastFetch.isEmpty() ? QStringLiteral("not fetched yet") : s.lastFetch)
            << (s.when.isEmpty() ? QString() : QStringLiteral(" (") + s.when + u')') << '\n';
    out << Qt::flush;
    return 0;
}

int add(AppContext& ctx, const QString& url, QTextStream& out, QTextStream& err) {
    QNetworkAccessManager network;
    QNetworkAccessManager* before = ctx.network;
    ctx.network = &network;
    const CatalogueSources::Found found = CatalogueSources::judge(ctx, url);
    ctx.network = before;
    if (!found.accepted())
        return fail(err, QStringLiteral("not added: ") + found.text());
    CatalogueSources sources(*ctx.settings);
    if (!sources.add({url, found.name, QString(), QString()}) ||
        !sources.recordFetch(url, found.text()))
        return fail(err, QStringLiteral("the settings store %1 cannot be written")
                             .arg(ctx.settings->filePath()));
    out << "added " << url << ": " << found.text() << Qt::endl;
    return 0;
}

int remove(AppContext& ctx, const QString& url, QTextStream& out, QTextStream& err) {
    CatalogueSources sources(*ctx.settings);
    if (!sources.contains(url))
        return fail(err, QStringLiteral("%1 is not a catalogue source (see kavro-cars source "
                                        "list)")
                             .arg(url));
    if (!sources.remove(url))
        return fail(err, QStringLiteral("the settings store %1 cannot be written")
                             .arg(ctx.settings->filePath()));
    out << "removed " << url << Qt::endl;
    return 0;
}

} // namespace

namespace SourceCommands {

QString helpText() {
    return QStringLiteral(
        "  source list [--json]\n"
        "      The catalogue sources kavro lists servers from after its own server list: the\n"
        "      address, its name and what its last fetch found. --json gives a JSON array.\n"
        "  source add URL\n"
        "      Fetches URL and adds it when it is a server list or a catalogue (says which, and\n"
        "      how many servers or cars); anything else is refused with the reason.\n"
        "  source remove URL\n"
        "      Removes the catalogue source URL.\n");
}

int source(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString what = args.value(0);
    QStringList rest = args.mid(1);
    if (what == QLatin1String("list")) {
        const bool json = rest.removeAll(QStringLiteral("--json")) > 0;
        if (!rest.isEmpty())
            return fail(err, kUsage);
        return list(ctx, json, out);
    }
    if ((what == QLatin1String("add") || what == QLatin1String("remove")) && rest.size() == 1) {
        const QString url = rest.first().trimmed();
        return what == QLatin1String("add") ? add(ctx, url, out, err) : remove(ctx, url, out, err);
    }
    return fail(err, kUsage);
}

} // namespace SourceCommands
