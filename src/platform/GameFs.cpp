#include "platform/GameFs.h"

#include <QDir>
#include <QFileInfo>

namespace GameFs {

namespace {

bool matchFrom(const QString& name, qsizetype ni, const QString& pat, qsizetype pi) {
    while (pi < pat.size()) {
        const QChar p = pat[pi];
        if (p == u'*') {
            while (pi < pat.size() && pat[pi] == u'*')
                ++pi;
            if (pi == pat.size())
                return true;
            for (qsizetype k = ni; k <= name.size(); ++k)
                if (matchFrom(name, k, pat, pi))
                    return true;
            return false;
        }
        if (ni >= name.size())
            return false;
        if (p != u'?' && p.toCaseFolded() != name[ni].toCaseFolded())
            return false;
        ++ni;
        ++pi;
    }
    return ni == name.size();
}

} // namespace

bool wildcardMatch(const QString& name, const QString& pattern) {
    if (pattern == QLatin1String("*.*"))
        return true;
    return matchFrom(name, 0, pattern, 0);
}

QStringList list(const QString& folder, const QString& pattern, Kind kind) {
    QDir::Filters filters = QDir::NoDotAndDotDot | QDir::System;
    if (kind != Kind::Folders)
        filters |= QDir::Files;
    if (kind != Kind::Files)
        filters |= QDir::Dirs;
    QDir dir(folder);
    QStringList out;
    const QStringList names = dir.entryList(filters, QDir::NoSort);
    for (const QString& n : names)
        if (wildcardMatch(n, pattern))
            out.append(n);
    std::sort(out.begin(), out.end(), nameLess);
    return out;
}

bool nameLess(const QString& a, const QString& b) {
    const int c = QString::compare(a.toUpper(), b.toUpper(), Qt::CaseSensitive);
    return c != 0 ? c < 0 : a < b;
}

QString findEntry(const QString& folder, const QString& name) {
    if (QFileInfo::exists(withSlash(folder) + name))
        return name;
    QDir dir(folder);
    const QStringList names =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& n : names)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return n;
    return {};
}

QString resolve(const QString& base, const QString& relative) {
    QString rel = relative;
    rel.replace(u'\\', u'/');
    const bool trailing = rel.endsWith(u'/');
    QString current = base;
    current.replace(u'\\', u'/');
    if (current.endsWith(u'/') && current.size() > 1)
        current.chop(1);
    bool existing = true;
    const QStringList parts = rel.split(u'/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        QString use = part;
        if (existing) {
            const QString found = findEntry(current, part);
            if (found.isEmpty())
                existing = false;
            else
                use = found;
        }
        current = (current == QLatin1String("/") ? QString() : current) + u'/' + use;
    }
    if (trailing)
        current += u'/';
    return current;
}

QString withSlash(const QString& path) {
    if (path.endsWith(u'/'))
        return path;
    return path + u'/';
}

} // namespace GameFs
