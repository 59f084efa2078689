#pragma once

#include "core/download/DownloadDisplay.h"
#include "core/download/DownloadRun.h"
#include "core/download/DownloadWindowState.h"
#include "core/download/ZipInstallRun.h"

#include <QElapsedTimer>
#include <QWidget>

class AdPane;
class ClipPlayer;
class HttpTransfer;
class ProgramEnd;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
struct AppContext;

// The download window: downloads and installs the cars of a run one after the other, shows the
// progress of each download, writes the download log and ends with the after-download actions.
// Closing it during the run asks whether to cancel and then shows the log so far. Created hidden
// by the download request, which fills lstdl (names) and lstdlx (addresses) and calls Process.
// The run itself (downloads, installs, rescans, log) is DownloadRun's; the window shows it.
// Geometry in twips / 15.
class DownloadForm : public QWidget, public DownloadWindowState, private DownloadDisplay {
    Q_OBJECT
public:
    explicit DownloadForm(AppContext& ctx, QWidget* parent = nullptr);
    ~DownloadForm() override;

    // The whole run (see DownloadRun) and what follows it; the program ends inside it.
    void Process();
    // Installs car ZIPs that are on this machine (see ZipInstallRun), showing which car of how
    // many is installed, its name and the bar; Cancel asks as during a download and stops the
    // run after (or, while the car is unpacked, without) the car under way. Returns the run's log
    // to show (a cancel's lines added, and a line when DOWNLOAD.LOG could not be written: the
    // program's result is then 1); the program goes on. notDone, when given, counts the cars that
    // were not installed (failed, or left out by a cancel).
    QString InstallZips(const QList<ZipInstallRun::Car>& cars, int* notDone = nullptr);
    // One car's download (see Downloader); errors go to ErrorText.
    bool DownloadFile(const QString& strURL, const QString& strDestination, const QString& UserName,
                      const QString& Password);

    static QString FormatFileSize(double dblFileSize);
    static QString FormatTime(float sglTime);
    static QString ReturnFileOrFolder(const QString& FullPath, bool ReturnFile, bool IsURL);

    QListWidget* lstdl = nullptr;
    QListWidget* lstdlx = nullptr;
    ClipPlayer* Animation1 = nullptr;
    QLabel* StatusLabel = nullptr;
    QWidget* PBarOut = nullptr;
    QWidget* PBar = nullptr;
    QLabel* StatusLabel2 = nullptr;
    QPushButton* CancelButton = nullptr;
    AdPane* wbADS = nullptr;
    HttpTransfer* Inet1 = nullptr;
    QTimer* tmrADS = nullptr;

    // The texts as the downloader set them (StatusLabel2 shows each CR as a line break).
    QString status2Text() const { return m_status2; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    // DownloadDisplay
    void setStatus(const QString& text) override;
    void setStatus2(const QString& text) override;
    void openClip(const QString& path) override;
    void playClip() override;
    void showProgress(const DownloadProgress& progress) override;
    void showCar(qint16 n) override;

    void showStatus2(const QString& text);
    void applyProgress();
    void closeRequest();
    void keepCurrentItem();
    void adsTick();
    QString selectedName() const;
    void writeClip();
    void showZip(const QList<ZipInstallRun::Car>& cars, int n);
    void showZipBar(int done, int count);
    bool ended() const;

    AppContext& m_ctx;
    DownloadRun m_run;
    QString m_status2;
    // The latest progress update not yet on the controls (see showProgress).
    static constexpr int kProgressFrameMs = 16;
    DownloadProgress m_pendingProgress;
    bool m_progressPending = false;
    QElapsedTimer m_sinceProgressShown;
    QTimer* m_progressTimer = nullptr;
    bool m_inCloseRequest = false;
    bool m_keepingItem = false;
    // While InstallZips runs: what a confirmed cancel ends (the run, not the program).
    ProgramEnd* m_zipCancel = nullptr;
};
