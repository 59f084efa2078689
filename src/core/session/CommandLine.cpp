#include "core/session/CommandLine.h"

#include <QFileInfo>

bool CommandLine::isZipFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.suffix().compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0;
}

QStringList CommandLine::zipFiles(const QStringList& arguments) {
    QStringList zips;
    for (const QString& a : arguments)
        if (isZipFile(a))
            zips.append(QFileInfo(a).absoluteFilePath());
    return zips;
}

bool CommandLine::isLink(const QString& argument) {
    return argument.startsWith(QLatin1String("kavro://"), Qt::CaseInsensitive);
}

QStringList CommandLine::links(const QStringList& arguments) {
    QStringList found;
    for (const QString& a : arguments)
        if (isLink(a))
            found.append(a);
    return found;
}

QString CommandLine::switchText(const QStringList& arguments) {
    QStringList rest;
    for (const QString& a : arguments)
        if (!isZipFile(a) && !isLink(a))
            rest.append(a);
    return rest.join(u' ');
}
