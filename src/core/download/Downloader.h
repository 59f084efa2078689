#pragma once

#include "core/download/DownloadProgress.h"

#include <QString>

struct AppContext;
struct DownloadWindowState;
class DownloadDisplay;
class HttpTransfer;

// Downloads one car ZIP over HTTP into a file, keeping the display informed. Never shows a box:
// every problem is appended to ErrorText (each message ending in CR LF). While it waits for the
// network it handles events, so the window's close request, list clicks and the ad timer run;
// when the program has ended meanwhile it returns at once without touching anything.
class Downloader {
public:
    Downloader(AppContext& ctx, HttpTransfer& inet, DownloadDisplay& display,
               DownloadWindowState& state);

    // Body chunks are exactly this long (the last one shorter): one chunk is one KB of progress.
    static constexpr qint64 kChunkSize = 1024;

    // True when the whole body announced by "Content-Length" (more than half a KB) arrived and
    // was written to strDestination. A failed attempt leaves no file behind.
    bool DownloadFile(const QString& strURL, const QString& strDestination, const QString& UserName,
                      const QString& Password);

    // The leading decimal number of a header value (0 when there is none).
    static qint64 leadingNumber(const QString& text);

private:
    enum class Regime { Connection, File, Quiet };
    struct Attempt {
        Regime regime = Regime::Connection;
        qint64 contentLength = 0;
        qint64 sizeKB = 0;
        qint64 chunks = 0;
        qint64 received = 0;
        bool writeFailed = false;
        bool appendReported = false;
    };

    // Steps from the request to the end of the body; false when the program ended meanwhile.
    bool transfer(Attempt& a, const QString& strURL, const QString& strDestination,
                  const QString& UserName, const QString& Password);
    bool body(Attempt& a, const QString& strDestination, double startTime);
    // A failure while connecting: cancels the transfer and records "Error: ... occurred.".
    bool connectionFailure(const QString& description);
    bool yield();
    bool ended() const;

    AppContext& m_ctx;
    HttpTransfer& m_inet;
    DownloadDisplay& m_display;
    DownloadWindowState& m_state;
    DownloadProgress m_progress;
};
