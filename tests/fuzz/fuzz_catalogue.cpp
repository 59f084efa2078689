// Feeds arbitrary bytes to the server-list and catalogue readers, as a fetched file would reach
// them (Windows-1252 lines). Aborts when a reader keeps anything after refusing a list, when the
// arrays stop being parallel, when an entry did not come from the file's own lines, when a
// complete catalogue left text unread or an incomplete one did not, or when a completed URL of
// layout 1 is empty.
#include "core/catalogue/CatalogueFile.h"
#include "core/catalogue/ServerList.h"
#include "core/session/Session.h"
#include "platform/AnsiText.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_catalogue: %s\n", what);
    std::abort();
}

void checkServerList(const QStringList& lines) {
    ServerList list;
    const ServerList::Status status = list.parse(lines);
    if (list.ServerURLs.size() != list.ServerNames.size() ||
        list.ServerCataloguePaths.size() != list.ServerNames.size())
        fail("server arrays not parallel");
    if (!list.ServerNames.first().isEmpty())
        fail("placeholder element not empty");
    if (status != ServerList::Status::Ok) {
        if (list.count() != 0)
            fail("a refused list kept servers");
        return;
    }
    if (list.count() < 1 || lines.size() < 2 + 3 * list.count())
        fail("server count beyond the file");
    for (int i = 1; i <= list.count(); ++i)
        if (list.ServerNames.at(i) != lines.at(1 + 3 * i))
            fail("server name not from its line");
}

void checkCatalogue(const QStringList& lines, const QString& base) {
    CatalogueFile cat;
    cat.parse(lines, base);
    const qsizetype first = cat.format == 1 ? 1 : 0;
    const qsizetype per = cat.format == 1 ? 4 : 3;
    const qsizetype used = first + per * cat.entries.size();
    if (used > qMax<qsizetype>(lines.size(), first))
        fail("entries beyond the file");
    bool textLeft = false;
    for (qsizetype i = used; i < lines.size(); ++i)
        textLeft = textLeft || !lines.at(i).isEmpty();
    if (cat.complete == textLeft)
        fail("completeness does not match what was left unread");
    if (cat.outdated && cat.format != 0)
        fail("an outdated header read as layout 1");
    for (qsizetype k = 0; k < cat.entries.size(); ++k) {
        const CatalogueFile::Entry& e = cat.entries.at(k);
        if (e.name != lines.at(first + per * k))
            fail("entry name not from its line");
        // Layout 1 completes the addresses it is given; an empty line stays empty.
        if (cat.format == 1 && (e.shotUrl.isEmpty() != lines.at(first + per * k + 2).isEmpty() ||
                                e.zipUrl.isEmpty() != lines.at(first + per * k + 3).isEmpty()))
            fail("a completed URL is empty, or an empty line was filled in");
        if (cat.format == 0 && e.zipUrl != lines.at(first + per * k + 2))
            fail("layout 0 changed a ZIP line");
    }
    Session s;
    cat.applyTo(s);
    if (s.carCount() != cat.entries.size() || s.CarAuthors.size() != s.CarNames.size() ||
        s.CarShotURLs.size() != s.CarNames.size() || s.CarZipURLs.size() != s.CarNames.size())
        fail("session arrays not parallel");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = AnsiText::splitLines(bytes);
    checkServerList(lines);
    checkCatalogue(lines, QStringLiteral("http://cars.example.net/hs/"));
    checkCatalogue(lines, QString());
    return 0;
}
