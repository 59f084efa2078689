#include "gui/frmCars.h"

#include "core/session/AppContext.h"
#include "core/session/AppSettings.h"
#include "core/session/ConfirmExit.h"
#include "gui/CarListItem.h"
#include "gui/ClassicFont.h"
#include "gui/DownloadRequest.h"
#include "gui/PreviewRefresh.h"
#include "gui/Twips.h"
#include "gui/WindowPlacement.h"
#include "gui/frmSS.h"
#include "platform/SystemActions.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

using Twips::make;
using Twips::twips;

namespace {

// Labels that grow or shrink with their text, keeping their left edge (or, for a centred
// caption, their centre).
const char* const kAutoSize = "kavroAutoSize";
enum AutoSize { KeepLeft = 1, KeepCentre = 2 };

QLabel* label(QWidget* parent, const char* name, const QRect& geometry, const QString& text,
              AutoSize autoSize) {
    auto* l = make<QLabel>(parent, name, geometry);
    l->setText(text);
    l->setProperty(kAutoSize, int(autoSize));
    return l;
}

void useHighlightColour(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::Highlight));
    w->setPalette(p);
}

} // namespace

frmCars::frmCars(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("frmCars"));
    setWindowTitle(QStringLiteral("NFSHS Kavro"));
    // Fixed dialog frame: no minimize or maximize button, not resizable.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(twips(0, 0, 5715, 5520).size());
    setFont(ClassicFont());
    buildControls();

    if (const std::optional<bool> loadss = AppSettings::LoadOptions(m_ctx))
        mnuVSS->setChecked(*loadss);
    LastShotIndex = -1;
    tmrFirstSS->start();
}

void frmCars::buildControls() {
    frmSiteInfo = make<QGroupBox>(this, "frmSiteInfo", twips(120, 60, 3435, 915));
    frmSiteInfo->setTitle(QStringLiteral("Server Infomation"));
    lblInfo1 = label(frmSiteInfo, "lblInfo1", twips(120, 300, 645, 195),
                     QStringLiteral(" Server : "), KeepLeft);
    lblWebsiteLink = label(frmSiteInfo, "lblWebsiteLink", twips(780, 300, 930, 195),
                           QStringLiteral("Server Name"), KeepLeft);
    lblInfo2 = label(frmSiteInfo, "lblInfo2", twips(120, 540, 510, 195), QStringLiteral(" URL : "),
                     KeepLeft);
    lblWebsiteLinkx =
        make<ClickableLabel>(frmSiteInfo, "lblWebsiteLinkx", twips(660, 540, 840, 195));
    lblWebsiteLinkx->setText(QStringLiteral("Server URL"));
    lblWebsiteLinkx->setProperty(kAutoSize, int(KeepLeft));
    {
        QFont link = ClassicFont(8.25);
        link.setUnderline(true);
        lblWebsiteLinkx->setFont(link);
        useHighlightColour(lblWebsiteLinkx);
        lblWebsiteLinkx->setCursor(Qt::PointingHandCursor);
    }

    frmStats = make<QGroupBox>(this, "frmStats", twips(3660, 60, 1935, 915));
    frmStats->setTitle(QStringLiteral("Stats."));
    lblInfo3 = label(frmStats, "lblInfo3", twips(120, 300, 975, 195),
                     QStringLiteral(" No. of Cars : "), KeepLeft);
    lblNoCars =
        label(frmStats, "lblNoCars", twips(1140, 300, 90, 195), QStringLiteral("0"), KeepLeft);

    frmCarsx = make<QGroupBox>(this, "frmCarsx", twips(120, 1080, 5475, 3255));
    frmCarsx->setTitle(QStringLiteral("Cars"));
    lblInfo5 = make<QLabel>(frmCarsx, "lblInfo5", twips(180, 300, 5055, 255));
    lblInfo5->setText(QStringLiteral("Select the cars you would like to download and install."));
    lstCars = make<QListWidget>(frmCarsx, "lstCars", twips(180, 600, 2475, 2085));
    lstCars->setSortingEnabled(true);
    lstCars->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lstCars->sortItems(Qt::AscendingOrder);
    // The caption lies beneath the preview image: a picture covers it, an empty image shows it.
    lblInfo6 = label(frmCarsx, "lblInfo6", twips(3570, 2400, 915, 195),
                     QStringLiteral("Screen Shot"), KeepCentre);
    lblInfo6->setAlignment(Qt::AlignCenter);
    useHighlightColour(lblInfo6);
    imgSS = make<ClickableLabel>(frmCarsx, "imgSS", twips(2760, 600, 2535, 2055));
    imgSS->setScaledContents(true);
    imgSS->setToolTip(QStringLiteral("Click to view in full size."));
    txtAuthor = make<QLabel>(frmCarsx, "txtAuthor", twips(180, 2820, 2475, 255));
    txtAuthor->setAlignment(Qt::AlignCenter);
    cmdOpt = make<QPushButton>(frmCarsx, "cmdOpt", twips(3300, 2760, 1515, 375));
    cmdOpt->setText(QStringLiteral("Options              ->"));
    tmrFirstSS = new QTimer(frmCarsx);
    tmrFirstSS->setObjectName(QStringLiteral("tmrFirstSS"));
    tmrFirstSS->setInterval(100);

    frmDownload = make<QGroupBox>(this, "frmDownload", twips(120, 4440, 5475, 735));
    cmdDownload = make<QPushButton>(frmDownload, "cmdDownload", twips(120, 240, 2295, 375));
    cmdDownload->setText(QStringLiteral("Download and Install Cars"));
    cmdDownload->setEnabled(false);
    cmdSS = make<QPushButton>(frmDownload, "cmdSS", twips(2520, 240, 1755, 375));
    cmdSS->setText(QStringLiteral("Full Size Screen Shot"));
    cmdConnect = make<QPushButton>(frmDownload, "cmdConnect", twips(4380, 240, 975, 375));
    cmdConnect->setText(QStringLiteral("Exit"));

    picStatus = make<QWidget>(this, "picStatus", twips(0, 5265, 5715, 255));
    lblStatus = label(picStatus, "lblStatus", twips(60, 0, 45, 195), QStringLiteral("."), KeepLeft);

    mnuOpt = new QMenu(QStringLiteral("Options"), this);
    mnuOpt->setObjectName(QStringLiteral("mnuOpt"));
    mnuOpt->setFont(ClassicFont());
    mnuVSS = mnuOpt->addAction(QStringLiteral("View Screen Shots"));
    mnuVSS->setObjectName(QStringLiteral("mnuVSS"));
    mnuVSS->setCheckable(true);
    mnuVSS->setChecked(true);
    mnuOpt->addSeparator();
    mnuDAD = mnuOpt->addAction(QStringLiteral("Disconnect after Download"));
    mnuDAD->setObjectName(QStringLiteral("mnuDAD"));
    mnuDAD->setCheckable(true);
    mnuSAD = mnuOpt->addAction(QStringLiteral("Shutdown after Download"));
    mnuSAD->setObjectName(QStringLiteral("mnuSAD"));
    mnuSAD->setCheckable(true);

    // Only the list and the buttons take the focus, in this order; the list has it first.
    for (QPushButton* b : {cmdOpt, cmdDownload, cmdSS, cmdConnect})
        b->setAutoDefault(false);
    setTabOrder(lstCars, cmdOpt);
    setTabOrder(cmdOpt, cmdDownload);
    setTabOrder(cmdDownload, cmdSS);
    setTabOrder(cmdSS, cmdConnect);
    lstCars->setFocus();

    for (QWidget* container :
         std::initializer_list<QWidget*>{frmSiteInfo, frmStats, frmCarsx, picStatus})
        container->installEventFilter(this);

    connect(lstCars, &QListWidget::itemChanged, this, [this] { updateDownloadButton(); });
    connect(lstCars, &QListWidget::currentRowChanged, this, [this] { RefreshPreview(*this); });
    connect(tmrFirstSS, &QTimer::timeout, this, [this] {
        tmrFirstSS->stop(); // for good
        RefreshPreview(*this);
    });
    connect(cmdOpt, &QPushButton::clicked, this,
            [this] { mnuOpt->popup(mapToGlobal(optionsMenuPosition())); });
    connect(mnuVSS, &QAction::triggered, this, [this] {
        RefreshPreview(*this);
        saveOptions();
    });
    connect(mnuDAD, &QAction::triggered, this, [this] { saveOptions(); });
    connect(mnuSAD, &QAction::triggered, this, [this] { saveOptions(); });
    connect(lblWebsiteLinkx, &ClickableLabel::clicked, this,
            [this] { m_ctx.actions->openUrl(SiteURL); });
    connect(cmdDownload, &QPushButton::clicked, this, [this] { RequestDownload(*this); });
    connect(cmdSS, &QPushButton::clicked, this, [this] { openViewer(); });
    connect(imgSS, &ClickableLabel::clicked, this, [this] { openViewer(); });
    connect(cmdConnect, &QPushButton::clicked, this, [this] { close(); });
}

QPoint frmCars::optionsMenuPosition() {
    // The button's top-right corner: frmCarsx.left + cmdOpt.left + cmdOpt.width, and
    // frmCarsx.top + cmdOpt.top = (4935, 3840) twips.
    return QPoint((120 + 3300 + 1515) / Twips::kPerPixel, (1080 + 2760) / Twips::kPerPixel);
}

qint32 frmCars::GetCarIndex(qint16 position) const {
    const QListWidgetItem* item =
        position >= 0 && position < lstCars->count() ? lstCars->item(position) : nullptr;
    if (!item)
        return 0;
    bool ok = false;
    const qint32 index = item->data(Qt::UserRole).toInt(&ok);
    return ok ? index : 0;
}

void frmCars::DisableControls() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{lstCars, imgSS, cmdDownload, cmdSS, cmdOpt, txtAuthor})
        w->setEnabled(false);
}

void frmCars::EnableControls() {
    lstCars->setEnabled(true);
    imgSS->setEnabled(true);
    updateDownloadButton();
    cmdSS->setEnabled(true);
    cmdOpt->setEnabled(true);
    txtAuthor->setEnabled(true);
}

void frmCars::updateDownloadButton() {
    cmdDownload->setEnabled(checkedCount() != 0);
}

void frmCars::addCar(const QString& name, qint32 k) {
    auto* item = new CarListItem(name);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
    item->setData(Qt::UserRole, k);
    lstCars->addItem(item); // the list puts it in its sorted place
}

int frmCars::checkedCount() const {
    int n = 0;
    for (int row = 0; row < lstCars->count(); ++row)
        if (lstCars->item(row)->checkState() == Qt::Checked)
            ++n;
    return n;
}

void frmCars::saveOptions() {
    AppSettings::SaveOptions(m_ctx, mnuVSS->isChecked(), mnuSAD->isChecked(), mnuDAD->isChecked());
}

void frmCars::openViewer() {
    frmSS viewer(m_ctx, this);
    viewer.exec();
}

void frmCars::fitLabelsToText() {
    for (QLabel* l : findChildren<QLabel*>()) {
        const int mode = l->property(kAutoSize).toInt();
        if (mode == 0)
            continue;
        QRect g = l->geometry();
        const QSize hint = l->sizeHint();
        const int width = std::max(1, hint.width());
        const int height = std::max(g.height(), hint.height());
        if (width == g.width() && height == g.height())
            continue;
        const int centre = g.center().x();
        g.setWidth(width);
        g.setHeight(height);
        if (mode == KeepCentre)
            g.moveLeft(centre - width / 2);
        l->setGeometry(g);
    }
}

bool frmCars::eventFilter(QObject* watched, QEvent* e) {
    // A label's new text asks its container for a new layout: size the labels to their text.
    if (e->type() == QEvent::LayoutRequest)
        fitLabelsToText();
    return QWidget::eventFilter(watched, e);
}

void frmCars::showEvent(QShowEvent* e) {
    fitLabelsToText();
    if (!m_placed) {
        m_placed = true;
        centreOnScreen(this);
    }
    // Nothing is highlighted until the user picks an entry (the list would otherwise make its
    // first row current when it gets the focus).
    if (lstCars->currentRow() < 0)
        lstCars->setCurrentIndex(QModelIndex());
    QWidget::showEvent(e);
}

void frmCars::closeEvent(QCloseEvent* e) {
    if (ConfirmExit(m_ctx) == 1)
        e->ignore(); // No keeps the window
    else
        e->accept();
}
