#include "platform/OnlineCheck.h"

#include <QFile>
#include <QNetworkInformation>

namespace OnlineCheck {

std::optional<bool> systemAnswer() {
    if (!QNetworkInformation::instance() && !QNetworkInformation::loadDefaultBackend() &&
        !QNetworkInformation::loadBackendByName(u"glib"))
        return std::nullopt;
    switch (QNetworkInformation::instance()->reachability()) {
    case QNetworkInformation::Reachability::Online:
        return true;
    case QNetworkInformation::Reachability::Disconnected:
    case QNetworkInformation::Reachability::Local:
    case QNetworkInformation::Reachability::Site:
        return false;
    case QNetworkInformation::Reachability::Unknown:
        break;
    }
    return std::nullopt;
}

bool hasDefaultRoute(const QString& routeFile) {
    QFile f(routeFile);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    f.readLine(); // the header line
    while (!f.atEnd()) {
        // Iface Destination Gateway Flags RefCnt Use Metric Mask ...
        const QList<QByteArray> fields = f.readLine().simplified().split(' ');
        if (fields.size() < 8)
            continue;
        bool flagsOk = false, destinationOk = false, maskOk = false;
        const uint flags = fields[3].toUInt(&flagsOk, 16);
        const uint destination = fields[1].toUInt(&destinationOk, 16);
        const uint mask = fields[7].toUInt(&maskOk, 16);
        if (flagsOk && destinationOk && maskOk && (flags & 0x1) && destination == 0 && mask == 0)
            return true;
    }
    return false;
}

} // namespace OnlineCheck
