#include "platform/WineLaunchers.h"

#include <QDir>
#include <QFile>

namespace WineLaunchers {

namespace {

int indentOf(const QString& line) {
    int n = 0;
    while (n < line.size() && (line[n] == u' ' || line[n] == u'\t'))
        ++n;
    return n;
}

// A YAML scalar as Lutris writes it: plain, 'single-quoted' ('' is a quote) or "double-quoted"
// (backslash escapes); a plain value ends at " #".
QString scalar(QString text) {
    text = text.trimmed();
    if (text.size() >= 2 && text.startsWith(u'\'') && text.endsWith(u'\''))
        return text.mid(1, text.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    if (text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"')) {
        QString out;
        for (qsizetype i = 1; i + 1 < text.size(); ++i) {
            if (text[i] == u'\\' && i + 2 < text.size())
                ++i;
            out += text[i];
        }
        return out;
    }
    const qsizetype comment = text.indexOf(QStringLiteral(" #"));
    return (comment >= 0 ? text.left(comment) : text).trimmed();
}

QStringList subfolders(const QString& folder) {
    QStringList out;
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                            QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names)
        out.append(dir.filePath(name));
    return out;
}

} // namespace

QString lutrisPrefix(const QByteArray& yaml, const QString& home) {
    const QStringList lines = QString::fromUtf8(yaml).split(u'\n');
    bool inGame = false;
    int keyIndent = -1;
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#'))
            continue;
        const int indent = indentOf(line);
        if (indent == 0) {
            inGame = trimmed == QLatin1String("game:");
            keyIndent = -1;
            continue;
        }
        if (!inGame)
            continue;
        if (keyIndent < 0)
            keyIndent = indent;
        if (indent != keyIndent || !trimmed.startsWith(QLatin1String("prefix:")))
            continue;
        QString value = scalar(trimmed.mid(7));
        if (value == u'~' || value.startsWith(QLatin1String("~/")))
            value = home + value.mid(1);
        return value;
    }
    return {};
}

QStringList prefixes(const QString& home, const QString& winePrefix) {
    QStringList out;
    auto add = [&out](const QString& prefix) {
        QString p = QDir::cleanPath(prefix);
        if (!prefix.isEmpty() && !out.contains(p))
            out.append(p);
    };
    add(winePrefix);
    add(home + QStringLiteral("/.wine"));

    const QDir lutris(home + QStringLiteral("/.config/lutris/games"));
    const QStringList games =
        lutris.entryList({QStringLiteral("*.yml")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString& game : games) {
        QFile f(lutris.filePath(game));
        if (f.open(QIODevice::ReadOnly))
            add(lutrisPrefix(f.read(1 << 20), home));
    }
    for (const QString& bottles :
         {QStringLiteral("/.local/share/bottles/bottles"),
          QStringLiteral("/.var/app/com.usebottles.bottles/data/bottles/bottles"),
          QStringLiteral("/.PlayOnLinux/wineprefix")})
        for (const QString& prefix : subfolders(home + bottles))
            add(prefix);
    return out;
}

} // namespace WineLaunchers
