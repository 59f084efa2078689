#pragma once

#include "core/download/Downloader.h"

#include <QString>
#include <QStringList>
#include <functional>

struct AppContext;
struct DownloadWindowState;
class DownloadDisplay;
class HttpTransfer;

// The download run: the cars of the queue one after the other (download, install, rescan of the
// installed cars), the download log with one block per car, and the cancel. The rescan's
// notices (an installed car with an invalid serial) are log lines of their own, once a run,
// never boxes.
// Shows no window and no box of its own: the display and the steps are passed in, so a window, a
// command-line tool or a test drives the same run.
//
// A car's block: its name, a row of "=", "Start at", "End at", perhaps the line saying its
// download was resumed (or started again) after a broken connection, perhaps the serial warning,
// and "ERRORS : " with the car's errors or "(none)". The work folder's "CAR" + n + ".ZIP" is car
// n's download.
class DownloadRun {
public:
    // What the run does with a car besides downloading it.
    struct Steps {
        // Installs car n (its name as listed) from "CAR" + n + ".ZIP" of the work folder;
        // appends its failures to errorText and the serial warning to downloadLog.
        std::function<void(qint16 n, const QString& name, QString& errorText, QString& downloadLog)>
            install;
        // Scans the installed cars again; returns a notice for each car it found broken.
        std::function<QStringList()> scan;
    };
    // The real steps: the car installer (its status texts go to onStatus when given) and the
    // serial scan into the session's tables.
    static Steps carSteps(AppContext& ctx, std::function<void(const QString&)> onStatus = {});

    DownloadRun(AppContext& ctx, HttpTransfer& inet, DownloadDisplay& display,
                DownloadWindowState& state, Steps steps);

    // Downloads, installs and logs every car of names / urls (same length) and writes
    // "DOWNLOAD.LOG". True when the queue is done; false when the program ended during the run
    // (nothing follows then).
    bool run(const QStringList& names, const QStringList& urls);

    // One car's download into the work folder (see Downloader); errors go to ErrorText.
    bool downloadFile(const QString& url, const QString& destination,
                      const QString& userName = QString(), const QString& password = QString());

    // For car n already downloaded to the work folder: its whole block (start, end, install,
    // rescan, errors) in the log. Returns the car's errors, empty when it installed cleanly.
    QString installDownloadedCar(qint16 n, const QString& name);

    // The close request of a user during the run: cancels at once between transfers, else asks
    // (a Yes/No box). True when the run is to be cancelled.
    bool askCancel();
    // The cancelled car's end: "End at" and "Errors : Cancelled by User".
    void logCancel();

    // Writes the log so far to the work folder's "DOWNLOAD.LOG". When it cannot, the log gets a
    // line saying so (the window shows the log text, never the file), the program's result
    // becomes 1 and the result is false.
    bool writeLog();
    // False once writing "DOWNLOAD.LOG" failed.
    bool logWritten() const { return m_logWritten; }

private:
    void beginCar(qint16 n, const QString& name);
    // "End at" (and the line saying how the download came through broken connections), the
    // install when nothing went wrong, the rescan (its notices become lines of the car's errors)
    // and "ERRORS : ". False when the program ended meanwhile.
    bool finishCar(qint16 n, const QString& name, const QString& triesLine = QString());
    bool ended() const;

    AppContext& m_ctx;
    DownloadDisplay& m_display;
    DownloadWindowState& m_state;
    Steps m_steps;
    Downloader m_downloader;
    QStringList m_noticesLogged; // the rescan's notices already in the log
    bool m_logWritten = true;
};
