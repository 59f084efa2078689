#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The decisions of "Download and Install Cars": the limit of installed cars and which ticked
// catalogue entries go to the download window. Entries without a download address are
// announcements: they count towards the limit but are never downloaded.
namespace DownloadSelection {

constexpr int kMaxInstalledCars = 50;

inline const QString kLimitTitle = QStringLiteral("Limit on Number of Cars");
inline const QString kNoAddressTitle = QStringLiteral("Car Selection");

// One row of the browser's list, in list order.
struct Row {
    bool checked = false;
    QString text;     // the car's name as listed
    qint32 index = 0; // its catalogue index
};

// The cars handed to the download window: names and addresses, position by position.
struct Selection {
    QStringList names;
    QStringList urls;
};

int tickedCount(const QList<Row>& rows);
// True when installed + ticked is over the limit (50 passes, 51 does not).
bool exceedsLimit(int ticked, int installed);
// "...You have to deselect 1 cars out of the 11 you selected, because you already have 40 cars
// installed."
QString limitMessage(int ticked, int installed);
QString noAddressMessage();
// The checked rows whose catalogue entry has a non-empty address, in list order.
Selection select(const QList<Row>& rows, const QStringList& carZipURLs);

} // namespace DownloadSelection
