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

QString CommandLine::switchText(const QStringList& arguments) {
    QStringList rest;
    for (const QString& a : arguments)
        if (!isZipFile(a))
            rest.append(a);
    return rest.join(u' ');
}
