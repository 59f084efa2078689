#include "core/catalogue/CatalogueAddress.h"

#include "core/catalogue/FetchFile.h"
#include "core/session/AppContext.h"
#include "platform/AnsiText.h"
#include "platform/MessageBoxService.h"

#include <QSaveFile>
#include <QTemporaryDir>

namespace {

// The fetch's boxes, kept as one line of text.
class KeptMessages : public MessageBoxService {
public:
    Answer show(const QString& text, const QString&, int) override {
        message = text;
        message.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\r', u' ');
        message = message.simplified();
        return Ok;
    }
    QString message;
};

// Why this machine cannot write file, empty when it can: a fetch that failed because of the
// local disk is not the server's fault.
QString localWriteProblem(const QString& file) {
    QSaveFile probe(file);
    const QByteArray block(64 * 1024, '\0');
    if (!probe.open(QIODevice::WriteOnly) || probe.write(block) != block.size() || !probe.commit())
        return probe.errorString();
    QFile::remove(file);
    return {};
}

QString plural(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

QString CatalogueAddress::folderOf(const QString& url) {
    return url.left(url.lastIndexOf(u'/') + 1);
}

QString CatalogueAddress::webPageText(const QString& url) {
    return url + QStringLiteral(" is a web page, not a server list or catalogue");
}

bool CatalogueAddress::isWebPage(const QStringList& lines) {
    if (lines.isEmpty())
        return false;
    const QString first = lines.first().trimmed();
    if (!first.startsWith(u'<'))
        return false;
    static const char* const kOpeners[] = {"<!doctype", "<html", "<?xml", "<!--",
                                           "<head",     "<body", "<meta", "<title"};
    for (const char* opener : kOpeners)
        if (first.startsWith(QLatin1String(opener), Qt::CaseInsensitive))
            return true;
    // Another tag first: a page closes what it opens, a catalogue's name line does not.
    for (qsizetype i = 0; i < lines.size() && i < 20; ++i)
        if (lines.at(i).contains(QLatin1String("</")))
            return true;
    return false;
}

CatalogueAddress::Judgement CatalogueAddress::judgeLines(const QString& url,
                                                         const QStringList& lines) {
    Judgement j;
    if (lines.isEmpty()) {
        j.why = url + QStringLiteral(" is empty, not a server list or catalogue");
        return j;
    }
    if (lines.first().startsWith(QLatin1String("SL"))) {
        switch (j.servers.parse(lines)) {
        case ServerList::Status::Corrupt:
            j.why = url + QStringLiteral(": not a server list the program can read (header, "
                                         "count or servers missing)");
            return j;
        case ServerList::Status::Outdated:
            j.why = url + QStringLiteral(": the server list's version (%1) is newer than the "
                                         "program reads")
                              .arg(lines.first().mid(2, 1));
            return j;
        case ServerList::Status::Ok:
            break;
        }
        j.kind = Kind::ServerList;
        j.count = j.servers.count();
        return j;
    }
    if (isWebPage(lines)) {
        j.kind = Kind::WebPage;
        j.why = webPageText(url);
        return j;
    }
    j.catalogue.parse(lines, folderOf(url));
    if (j.catalogue.outdated) {
        j.why = url + QStringLiteral(": the header \"%1\" is of a newer version; the program "
                                     "loads nothing of it")
                          .arg(lines.first());
        return j;
    }
    if (!j.catalogue.complete) {
        j.why = url + QStringLiteral(": the last entry is cut short after %1 complete ones")
                          .arg(j.catalogue.entries.size());
        return j;
    }
    j.kind = Kind::Catalogue;
    for (const CatalogueFile::Entry& e : std::as_const(j.catalogue.entries))
        ++(e.zipUrl.isEmpty() ? j.announcements : j.count);
    return j;
}

QString CatalogueAddress::Judgement::text(const QString& url) const {
    switch (kind) {
    case Kind::ServerList:
        return QStringLiteral("a server list with ") + plural(count, "server", "servers");
    case Kind::Catalogue:
        return QStringLiteral("a catalogue of ") + plural(count, "car", "cars") +
               (announcements > 0 ? QStringLiteral(" and ") +
                                        plural(announcements, "announcement", "announcements")
                                  : QString());
    case Kind::WebPage:
        return webPageText(url);
    case Kind::Refused:
        break;
    }
    return why;
}

bool CatalogueAddress::fetch(AppContext& ctx, const QString& url, const QString& file,
                             QString& why) {
    KeptMessages messages;
    MessageBoxService* prompts = ctx.prompts;
    ctx.prompts = &messages;
    const bool fetched = FetchFile(ctx, url, file);
    ctx.prompts = prompts;
    if (fetched)
        return true;
    const QString local = localWriteProblem(file);
    why = local.isEmpty()
              ? url + QStringLiteral(": ") + messages.message
              : url + QStringLiteral(": not fetched: this machine cannot write a temporary "
                                     "file (%1)")
                          .arg(local);
    return false;
}

CatalogueAddress::Judgement CatalogueAddress::fetchAndJudge(AppContext& ctx, const QString& url) {
    Judgement j;
    QTemporaryDir work;
    if (!work.isValid()) {
        j.why = url + QStringLiteral(": not fetched: this machine cannot make a temporary "
                                     "folder (%1)")
                          .arg(work.errorString());
        return j;
    }
    const QString file = work.filePath(QStringLiteral("fetched.dat"));
    QStringList lines;
    if (!fetch(ctx, url, file, j.why))
        return j;
    if (!AnsiText::readLines(file, lines)) {
        j.why = url + QStringLiteral(": not read: this machine cannot read its temporary copy");
        return j;
    }
    return judgeLines(url, lines);
}
