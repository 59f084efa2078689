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
// received (bytes received / 1024) and is shown each time that count grows.
//
// A transfer that breaks off after its answer (reset, closed early, or stopped for bringing too
// little) is tried again while the tries bring bytes: at most kMaxTries in all, and
// kEmptyTriesInARow tries in a row that bring nothing (no byte, or a trickle) end it. The pauses
// between tries grow from 2 s to 30 s and pass on the context's clock. A try goes on from where the
// file ends only while the server proves it still has the same body: the request names the first
// answer's strong ETag (else its Last-Modified) in If-Range, and only a 206 carrying that validator
// and the matching Content-Range is appended. Without a validator the whole body is asked for; a
// 200, or a 206 with another validator or part, starts the file again from byte 0. An HTTP error
// answer is never tried again. The car's bounds (its size, the free space) hold for every try.
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
    static constexpr int kMaxTries = 20;
    // Tries in a row that bring nothing end the transfer: no byte of the body, or a try stopped
    // for bringing under 1 KB in the network policy's window.
    static constexpr int kEmptyTriesInARow = 3;
    static constexpr qint64 kTryProgressBytes = 1024;
    // The pause before try n (2 or more): 2 s, doubling up to 30 s.
    static int pauseBeforeTry(int n);

    // True when the whole body announced by "Content-Length" (more than half a KB) arrived and
    // was written to strDestination. A failed attempt leaves no file behind.
    bool DownloadFile(const QString& strURL, const QString& strDestination, const QString& UserName,
                      const QString& Password);

    // The car's log line about the last DownloadFile's broken connections: that it was resumed
    // (bytes were appended to the file it completed) or started again from the beginning; empty
    // when it completed at the first try or failed.
    QString triesLine() const { return m_triesLine; }
    // The line for a download that completed after `tries` tries, appending to what it had.
    static QString resumedLine(int tries);
    // The line for a download that completed after `tries` tries, its file fetched again whole.
    static QString restartedLine(int tries);

    // The free bytes of the disk holding a folder (QStorageInfo; tests stand in for it).
    std::function<qint64(const QString& folder)> freeSpace;

    // The leading decimal number of a header value (0 when there is none).
    static qint64 leadingNumber(const QString& text);

private:
    enum class Regime { Connection, File, Quiet };
    struct Attempt {
        Regime regime = Regime::Connection;
        int tries = 0;
        int breaks = 0;           // tries that broke off
        int emptyInARow = 0;      // tries in a row that broke off bringing nothing
        qint64 brought = 0;       // bytes of the body the current try brought
        bool stalled = false;     // the last break was a transfer stopped for bringing too little
        bool appended = false;    // the file holds bytes of more than one try
        bool rangeSent = false;   // the current request asked for the rest of the body
        qint64 contentLength = 0; // of the whole body
        qint64 sizeKB = 0;
        qint64 shownKB = 0;  // the KB count of the last progress update
        qint64 received = 0; // bytes of the body in the file
        double startTime = 0;
        bool openTried = false;
        bool writeFailed = false;
        bool appendReported = false;
        bool tooLong = false; // more arrived than was announced
        bool broken = false;  // the body broke off before its end: worth another try
        QByteArray validator; // the whole body's strong ETag or Last-Modified; empty: none
        bool validatorIsETag = false;
    };
    // Ended: the program ended; Settled: the outcome is decided (a cancel, or an error answer
    // whose message is in ErrorText); Whole: a 200; Rest: the 206 going on where the file ends;
    // Other: a 206 that is not that part of this body; Broken: a retry got no answer.
    enum class Answer { Ended, Settled, Whole, Rest, Other, Broken };

    // The first try: clip, request, answer, body. False when the program ended meanwhile.
    bool firstTry(Attempt& a, QFile& file, const QString& strURL, const QString& UserName,
                  const QString& Password);
    // Another try after the body broke off. False when the program ended meanwhile.
    bool retry(Attempt& a, QFile& file);
    // Counts the try that just broke off.
    void countBreak(Attempt& a);
    // Starts a retry's request, for the rest of the body when `resume`.
    bool send(Attempt& a, bool resume);
    // Waits for the answer and judges it.
    Answer request(Attempt& a);
    // Why bytesToCome more bytes of the body (whole body contentLength) cannot be written: the
    // car's size bound, the free space. Empty when they can.
    QString boundsProblem(qint64 contentLength, qint64 bytesToCome) const;
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
    QString m_triesLine;
};
