#pragma once

#include <QString>

class DownloadProgress;

// What the downloader shows while it works: the download window implements it, tests record it.
class DownloadDisplay {
public:
    virtual ~DownloadDisplay() = default;
    // The activity line ("Downloading... ", the percentage line, "Download completed!").
    virtual void setStatus(const QString& text) = 0;
    // The block below the bar ("Getting file information...", the time/size/rate block, "").
    virtual void setStatus2(const QString& text) = 0;
    // Opens the clip file (first frame, stopped) / plays it in a loop.
    virtual void openClip(const QString& path) = 0;
    virtual void playClip() = 0;
    // One progress update: the time/size/rate block, the bar, the percentage line (with the name
    // of the car being downloaded) and the caption.
    virtual void showProgress(const DownloadProgress& progress) = 0;
    // The run moves on to car n of its queue (1-based), before its download starts.
    virtual void showCar(qint16 n) { Q_UNUSED(n); }
};

// A display that shows nothing: a run without a window (a command, a benchmark).
class SilentDisplay : public DownloadDisplay {
public:
    void setStatus(const QString&) override {}
    void setStatus2(const QString&) override {}
    void openClip(const QString&) override {}
    void playClip() override {}
    void showProgress(const DownloadProgress&) override {}
};
