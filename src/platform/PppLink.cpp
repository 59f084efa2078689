#include "platform/PppLink.h"

#include <QDir>
#include <QFile>

namespace PppLink {

bool isUp(const QString& netClassFolder) {
    const QStringList names =
        QDir(netClassFolder)
            .entryList({QStringLiteral("ppp*")}, QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        QFile flags(netClassFolder + u'/' + name + QStringLiteral("/flags"));
        if (!flags.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        const uint value = QString::fromLatin1(flags.readAll()).trimmed().toUInt(&ok, 0);
        if (ok && (value & 0x1))
            return true;
    }
    return false;
}

} // namespace PppLink
