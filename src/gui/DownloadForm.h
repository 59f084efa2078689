#pragma once

#include "core/download/DownloadDisplay.h"
#include "core/download/DownloadWindowState.h"
#include "core/download/Downloader.h"

#include <QWidget>
#include <functional>

class AdPane;
class ClipPlayer;
class HttpTransfer;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
struct AppContext;

// The download window: downloads and installs the cars of a run one after the other, shows the
// progress of each download, writes the download log and ends with the after-download actions.
// Closing it during the run asks whether to cancel and then shows the log so far. Created hidden
// by the download request, which fills lstdl (names) and lstdlx (addresses) and calls Process.
// Geometry in twips / 15.
class DownloadForm : public QWidget, public DownloadWindowState, private DownloadDisplay {
    Q_OBJECT
public:
    explicit DownloadForm(AppContext& ctx, QWidget* parent = nullptr);
    ~DownloadForm() override;

    // The whole run; the program ends inside it.
    void Process();
    // One car's download (see Downloader); errors go to ErrorText.
    bool DownloadFile(const QString& strURL, const QString& strDestination, const QString& UserName,
                      const QString& Password);
    // Installs car n of the run through installCar.
    void InstallCar(qint16 n);

    static QString FormatFileSize(double dblFileSize);
    static QString FormatTime(float sglTime);
    static QString ReturnFileOrFolder(const QString& FullPath, bool ReturnFile, bool IsURL);

    // How a downloaded car is installed and how the installed cars are scanned after each car.
    // By default the car installer (its status goes to StatusLabel and the caption) and
    // ScanCarSerials; tests put their own here.
    std::function<void(qint16 n, const QString& listLine, QString& errorText, QString& downloadLog)>
        installCar;
    std::function<void()> scanCars;

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

    void closeRequest();
    void keepCurrentItem();
    void adsTick();
    QString selectedName() const;
    bool ended() const;

    AppContext& m_ctx;
    Downloader m_downloader;
    QString m_status2;
    bool m_inCloseRequest = false;
    bool m_keepingItem = false;
};
