#pragma once

#include <QString>

// The fields of the download window that the downloader and the run share.
struct DownloadWindowState {
    // Error messages of the car being processed, each ending in CR LF; emptied before each car.
    QString ErrorText;
    // The download log built so far.
    QString DownloadLog;
    // Set by a confirmed close of the window, or by a failure while connecting.
    bool CancelRequested = false;
    // False from the start of a download until its outcome is settled (and before the first).
    bool TransferEnded = false;
    // 1-based number of the car being processed; 0 before the first car.
    qint16 CurrentItem = 0;
};
