#pragma once

#include "core/download/DownloadProgress.h"
#include "platform/NetworkPolicy.h"

#include <QByteArray>
#include <QString>
#include <functional>

struct AppContext;
struct DownloadWindowState;
class DownloadDisplay;
class HttpTransfer;
class QFile;

// Downloads one car ZIP over HTTP into a file, keeping the display informed. Never shows a box:
// every problem is appended to ErrorText (each message ending in CR LF). While it waits for the
// network it handles events, so the window's close request, list clicks and the ad timer run;
// when the program has ended meanwhile it returns at once without touching anything.
//
// The body is read as it arrives, up to kReadSize bytes a read; the progress counts whole KB
// received (bytes received / 1024) and is shown each time that count grows. A transfer that
// breaks off after its answer (reset, closed early, or stopped for being too slow) is tried again,
// kTries in all: from where it stopped when the server honours a Range request (206 with the
// matching Content-Range), from the start otherwise. An HTTP error answer is never tried again.
class Downloader {
public:
    Downloader(AppContext& ctx, HttpTransfer& inet, DownloadDisplay& display,
               DownloadWindowState& state);

    // One read of the body takes whatever has arrived, at most this much.
    static constexpr qint64 kReadSize = 64 * 1024;
    // A car announced larger cannot be unpacked: it is refused before a byte is written.
    static constexpr qint64 kMaxCarBytes = NetworkPolicy::kCarMaxBytes;
    // What stays free on the work folder's disk besides the car (it is unpacked there too).
    static constexpr qint64 kFreeSpaceMargin = 64LL * 1024 * 1024;
    // Tries of a transfer that keeps breaking off, the first one included.
    static constexpr int kTries = 3;

    // True when the whole body announced by "Content-Length" (more than half a KB) arrived and
    // was written to strDestination. A failed attempt leaves no file behind.
    bool DownloadFile(const QString& strURL, const QString& strDestination, const QString& UserName,
                      const QString& Password);

    // The tries the last DownloadFile took when it completed after a broken connection (2 or
    // more); 0 when it took one or failed.
    int resumedTries() const { return m_resumedTries; }
    // The car's log line for a download that completed after `tries` tries.
    static QString resumedLine(int tries);

    // The free bytes of the disk holding a folder (QStorageInfo; tests stand in for it).
    std::function<qint64(const QString& folder)> freeSpace;

    // The leading decimal number of a header value (0 when there is none).
    static qint64 leadingNumber(const QString& text);

private:
    enum class Regime { Connection, File, Quiet };
    struct Attempt {
        Regime regime = Regime::Connection;
        int tries = 0;
        qint64 contentLength = 0; // of the whole body
        qint64 sizeKB = 0;
        qint64 shownKB = 0;  // the KB count of the last progress update
        qint64 received = 0; // bytes of the body in the file
        double startTime = 0;
        bool openTried = false;
        bool writeFailed = false;
        bool appendReported = false;
        bool tooLong = false;    // more arrived than was announced
        bool broken = false;     // the body broke off before its end: worth another try
        bool rangeUsable = true; // false once the server answered a Range with the wrong part
        QByteArray validator;    // the whole body's ETag or Last-Modified
    };
    enum class Answer { Ended, Settled, Whole, Rest, Broken };

    // The first try: clip, request, answer, body. False when the program ended meanwhile.
    bool firstTry(Attempt& a, QFile& file, const QString& strURL, const QString& UserName,
                  const QString& Password);
    // Another try after the body broke off. False when the program ended meanwhile.
    bool retry(Attempt& a, QFile& file);
    // Sends the request and waits for its answer: Whole for a 200, Rest for a 206 going on at
    // a.received, Broken when a retry got no answer or the wrong part, Settled when the outcome
    // is decided (a cancel, or an error answer whose message is in ErrorText).
    Answer request(Attempt& a);
    // The length of a whole body (a 200) and its bounds: false (the reason in ErrorText, or no
    // length at all) when it cannot be downloaded.
    bool takeWholeBody(Attempt& a, QFile& file);
    bool body(Attempt& a, QFile& file);
    // Waits ms while handling events; returns early on a cancel. False when the program ended.
    bool pause(int ms);
    // A failure while connecting: cancels the transfer and records "Error: ... occurred.".
    bool connectionFailure(const QString& description);
    bool yield();
    bool ended() const;

    AppContext& m_ctx;
    HttpTransfer& m_inet;
    DownloadDisplay& m_display;
    DownloadWindowState& m_state;
    DownloadProgress m_progress;
    QString m_destination;
    int m_resumedTries = 0;
};
