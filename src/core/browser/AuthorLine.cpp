#include "core/browser/AuthorLine.h"

QString AuthorLine(const QString& author) {
    if (author.isEmpty())
        return QString();
    if (author.compare(QLatin1String("N/A"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Author : Unknown");
    return QStringLiteral("Author : ") + author;
}
