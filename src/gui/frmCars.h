#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>

#include "core/browser/CarFilter.h"
#include "gui/ClickableLabel.h"

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QTimer;
struct AppContext;

// The car browser: one server's catalogue with check boxes, author line, screenshot preview,
// options menu and the download button. The options menu (and a drop of car ZIPs) also installs
// cars from files and shows the installed cars. Geometry in twips / 15 (pixels at 96 DPI).
class frmCars : public QWidget {
    Q_OBJECT
public:
    explicit frmCars(AppContext& ctx, QWidget* parent = nullptr);

    AppContext& context() { return m_ctx; }

    // Item data (catalogue index) of the list row at position; 0 for -1 or any invalid position.
    qint32 GetCarIndex(qint16 position) const;
    void DisableControls();
    void EnableControls();
    // cmdDownload enabled exactly when at least one row is checked.
    void updateDownloadButton();
    // Adds a row (kept sorted by name without regard to case) carrying catalogue index k.
    void addCar(const QString& name, qint32 k);
    int checkedCount() const;
    // "Find a car": keeps the rows whose name or author holds the text, case and accents ignored.
    // Hidden rows keep their ticks, and the download request still counts and hands them over.
    void setFilterText(const QString& text);
    // Marks the rows of the cars already here: "installed" (in the game) or "parked" (in its
    // garage), for the entries Kavro installed from this catalogue. Read again each time the
    // window is shown or comes to the front.
    void refreshMarks();
    // A row's mark; empty when it has none.
    QString markOf(int row) const;
    // The preview refresh: author line, screenshot fetch (see ScreenshotPreview) and the preview
    // states. Runs on every change of the highlighted entry, from tmrFirstSS, and after "View
    // Screen Shots" toggles.
    void RefreshPreview();
    // "Download and Install Cars": stores the options, enforces the limit of 50 installed cars
    // and hands the ticked cars that have an address to the download window's run.
    void RequestDownload();
    // Where the options menu opens, in the window's client coordinates (pixels).
    static QPoint optionsMenuPosition();

    QString SiteURL;
    QString SiteName;
    qint16 LastShotIndex = -1;

    QGroupBox* frmSiteInfo = nullptr;
    QLabel* lblInfo1 = nullptr;
    QLabel* lblWebsiteLink = nullptr;
    QLabel* lblInfo2 = nullptr;
    ClickableLabel* lblWebsiteLinkx = nullptr;
    QGroupBox* frmStats = nullptr;
    QLabel* lblInfo3 = nullptr;
    QLabel* lblNoCars = nullptr;
    QGroupBox* frmCarsx = nullptr;
    QLabel* lblInfo5 = nullptr;
    QLineEdit* txtFind = nullptr;
    QListWidget* lstCars = nullptr;
    ClickableLabel* imgSS = nullptr;
    QLabel* lblInfo6 = nullptr;
    QLabel* txtAuthor = nullptr;
    QPushButton* cmdOpt = nullptr;
    QTimer* tmrFirstSS = nullptr;
    QGroupBox* frmDownload = nullptr;
    QPushButton* cmdDownload = nullptr;
    QPushButton* cmdSS = nullptr;
    QPushButton* cmdConnect = nullptr;
    QWidget* picStatus = nullptr;
    QLabel* lblStatus = nullptr;
    QMenu* mnuOpt = nullptr;
    QAction* mnuVSS = nullptr;
    QAction* mnuDAD = nullptr;
    QAction* mnuSAD = nullptr;

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void changeEvent(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void buildControls();
    void saveOptions();
    void openViewer();
    void fitLabelsToText();
    void setListWidth(int width);
    // Shows or hides each row as the filter says; only rows that change are touched.
    void applyFilter();
    // Controls back on, but nothing to open: no picture, no full-size button.
    void showNoPicture(const QString& caption);
    // No screenshot fetch is under way (the options button is on).
    bool ready() const;

    AppContext& m_ctx;
    bool m_placed = false;
    // Keyed by catalogue index: each entry's name and author, folded once as it is added.
    CarFilter m_filter;
    // Each list position's catalogue index and whether it is hidden, read again after rows came
    // or went (a keystroke then touches only the rows whose state changes).
    QList<qint32> m_rowIndex;
    QList<bool> m_rowHidden;
    bool m_rowsChanged = true;
};
