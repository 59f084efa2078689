#include "core/catalogue/CataloguePage.h"

#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

namespace {

QString esc(const QString& text) {
    return text.toHtmlEscaped();
}

// A catalogue line as a link of the page beside the catalogue; empty when it cannot be one.
// Relative lines are read against the catalogue's folder as the program reads them (a leading
// "/" included); a line that would read as a scheme of its own ("javascript:") stays relative.
QString hrefOf(const QString& line) {
    if (line.startsWith(QLatin1String("http://")) || line.startsWith(QLatin1String("https://")))
        return line;
    if (line.isEmpty())
        return {};
    QString path = line;
    while (path.startsWith(u'/'))
        path.remove(0, 1);
    const qsizetype colon = path.indexOf(u':');
    if (colon >= 0) {
        const qsizetype end = path.indexOf(QRegularExpression(QStringLiteral("[/?#]")));
        if (end < 0 || colon < end)
            path.prepend(QStringLiteral("./"));
    }
    return path;
}

const char* const kStyle = R"(
*{box-sizing:border-box}
body{margin:0;font-family:system-ui,-apple-system,"Segoe UI",Roboto,sans-serif;line-height:1.4;
color:#1d1f23;background:#eef0f3}
header{padding:1.25rem 1rem;background:#1f3b5c;color:#fff}
header h1{margin:0 0 .5rem;font-size:1.6rem;overflow-wrap:anywhere}
header p{margin:.5rem 0}
a.add{display:inline-block;padding:.7rem 1.2rem;border-radius:.4rem;background:#f5b400;
color:#1d1f23;font-weight:bold;text-decoration:none}
code{overflow-wrap:anywhere;background:rgba(255,255,255,.15);padding:0 .2rem}
main{padding:1rem;display:grid;gap:1rem;grid-template-columns:repeat(auto-fill,minmax(15rem,1fr))}
article{background:#fff;border-radius:.4rem;overflow:hidden;box-shadow:0 1px 3px rgba(0,0,0,.15)}
article img,article .noshot{display:block;width:100%;height:auto;aspect-ratio:4/3;
object-fit:cover;background:#c9ced6}
article .noshot{display:flex;align-items:center;justify-content:center;color:#555}
article div.text{padding:.6rem .8rem}
article h2{margin:0;font-size:1.1rem;overflow-wrap:anywhere}
article p{margin:.2rem 0 .6rem;color:#555;overflow-wrap:anywhere}
article a{color:#1f3b5c;font-weight:bold}
footer{padding:0 1rem 1.5rem;color:#555}
)";

} // namespace

QString CataloguePage::addLink(const QString& address) {
    return QStringLiteral("kavro://add?url=") +
           QString::fromLatin1(QUrl::toPercentEncoding(address));
}

QString CataloguePage::html(const QString& serverName, const QString& serverListUrl,
                            const QList<Entry>& entries) {
    QString page;
    page += QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                           "<meta name=\"viewport\" content=\"width=device-width, "
                           "initial-scale=1\">\n");
    page += QStringLiteral("<title>%1: cars for Kavro</title>\n").arg(esc(serverName));
    page += QStringLiteral("<style>") + QLatin1String(kStyle) + QStringLiteral("</style>\n");
    page += QStringLiteral("</head>\n<body>\n<header>\n");
    page += QStringLiteral("<h1>%1</h1>\n").arg(esc(serverName));
    page += QStringLiteral("<p>Cars for Need for Speed High Stakes, installed by Kavro.</p>\n");
    page += QStringLiteral("<p><a class=\"add\" href=\"%1\">Add to Kavro</a></p>\n")
                .arg(esc(addLink(serverListUrl)));
    page += QStringLiteral("<p>Or add this address in Kavro: <code>%1</code></p>\n</header>\n")
                .arg(esc(serverListUrl));
    page += QStringLiteral("<main>\n");
    int cars = 0;
    for (const Entry& e : entries) {
        page += QStringLiteral("<article>\n");
        const QString shot = hrefOf(e.shotLine);
        if (shot.isEmpty())
            page += QStringLiteral("<div class=\"noshot\">No Screen Shot Available</div>\n");
        else
            page += QStringLiteral("<img src=\"%1\" alt=\"\" loading=\"lazy\" width=\"640\" "
                                   "height=\"480\">\n")
                        .arg(esc(shot));
        page += QStringLiteral("<div class=\"text\">\n<h2>%1</h2>\n").arg(esc(e.name));
        if (!e.author.isEmpty())
            page += QStringLiteral("<p>by %1</p>\n").arg(esc(e.author));
        const QString zip = hrefOf(e.zipLine);
        if (!zip.isEmpty()) {
            ++cars;
            page += QStringLiteral("<a href=\"%1\">Download ZIP</a>\n").arg(esc(zip));
        }
        page += QStringLiteral("</div>\n</article>\n");
    }
    page += QStringLiteral("</main>\n<footer>%1 %2</footer>\n</body>\n</html>\n")
                .arg(cars)
                .arg(cars == 1 ? QStringLiteral("car") : QStringLiteral("cars"));
    return page;
}

bool CataloguePage::write(const QString& path, const QString& serverName,
                          const QString& serverListUrl, const QList<Entry>& entries) {
    QSaveFile file(path);
    const QByteArray bytes = html(serverName, serverListUrl, entries).toUtf8();
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}
