#include "core/browser/DownloadSelection.h"

namespace DownloadSelection {

int tickedCount(const QList<Row>& rows) {
    int ticked = 0;
    for (const Row& row : rows)
        ticked += row.checked ? 1 : 0;
    return ticked;
}

bool exceedsLimit(int ticked, int installed) {
    return ticked + installed > kMaxInstalledCars;
}

QString limitMessage(int ticked, int installed) {
    return QStringLiteral("You are only allowed to have a maximum of 50 cars installed with NFSHS. "
                          "You have to deselect ") +
           QString::number(ticked + installed - kMaxInstalledCars) +
           QStringLiteral(" cars out of the ") + QString::number(ticked) +
           QStringLiteral(" you selected, because ") + QStringLiteral("you already have ") +
           QString::number(installed) + QStringLiteral(" cars installed.");
}

QString noAddressMessage() {
    return QStringLiteral("The cars you selected do not have a proper URL.") +
           QStringLiteral("\r\n") +
           QStringLiteral("This may be because they are just messages and not actually a car "
                          "for download.");
}

Selection select(const QList<Row>& rows, const QStringList& carZipURLs) {
    Selection s;
    for (const Row& row : rows) {
        if (!row.checked)
            continue;
        const QString url = row.index >= 0 ? carZipURLs.value(row.index) : QString();
        if (url.isEmpty())
            continue;
        s.names.append(row.text);
        s.urls.append(url);
    }
    return s;
}

} // namespace DownloadSelection
