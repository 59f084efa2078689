#include "gui/frmCars.h"

#include "core/browser/AuthorLine.h"
#include "core/browser/DownloadSelection.h"
#include "core/browser/ScreenshotPreview.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/CatalogueMarks.h"
#include "core/session/AppContext.h"
#include "core/session/AppSettings.h"
#include "core/session/ConfirmExit.h"
#include "core/session/Session.h"
#include "gui/CarListItem.h"
#include "gui/CarMarkDelegate.h"
#include "gui/ClassicFont.h"
#include "gui/DownloadForm.h"
#include "gui/InstallFromFiles.h"
#include "gui/ScreenshotPicture.h"
#include "gui/Twips.h"
#include "gui/WindowPlacement.h"
#include "gui/frmSS.h"
#include "platform/MessageBoxService.h"
#include "platform/ProgramEnd.h"
#include "platform/SystemActions.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
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

// The list beside the preview, and the list covering the preview box up to its right edge.
constexpr int kNarrowList = 2475 / Twips::kPerPixel;
constexpr int kWideList = 5115 / Twips::kPerPixel;

const QString kIdle = QStringLiteral(".");
const QString kLoading = QStringLiteral("Loading Screen Shot...");
const QString kCaption = QStringLiteral("Screen Shot");
const QString kNoShot = QStringLiteral("No Screen Shot Available");

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
    // The find field takes a thin band at the top of the list's place; the list begins below it.
    txtFind = make<QLineEdit>(frmCarsx, "txtFind", twips(180, 600, 2475, 300));
    txtFind->setPlaceholderText(QStringLiteral("Find a car (name or author)"));
    txtFind->setClearButtonEnabled(true);
    txtFind->installEventFilter(this);
    lstCars = make<QListWidget>(frmCarsx, "lstCars", twips(180, 930, 2475, 1755));
    lstCars->setSortingEnabled(true);
    lstCars->setUniformItemSizes(true); // every row is one line: no measuring 20,000 rows
    lstCars->setItemDelegate(new CarMarkDelegate(lstCars));
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
    // The wide list (previews off) lies over the preview box: it takes every click, drag and
    // wheel turn there, not the disabled picture or the caption beneath.
    lstCars->raise();

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
    mnuOpt->addSeparator();
    InstallFromFiles::addMenuItems(m_ctx, this, mnuOpt, [this] { return ready(); });
    setAcceptDrops(true);

    // Only the list and the buttons take the focus, in this order; the list has it first. Enter
    // on a focused button presses it, as Space does.
    for (QPushButton* b : {cmdOpt, cmdDownload, cmdSS, cmdConnect})
        b->setAutoDefault(true);
    setTabOrder(lstCars, cmdOpt);
    setTabOrder(cmdOpt, cmdDownload);
    setTabOrder(cmdDownload, cmdSS);
    setTabOrder(cmdSS, cmdConnect);
    setTabOrder(cmdConnect, txtFind);
    lstCars->setFocus();
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        txtFind->setFocus(Qt::ShortcutFocusReason);
        txtFind->selectAll();
    });
    connect(txtFind, &QLineEdit::textChanged, this, [this](const QString& t) { setFilterText(t); });

    for (QWidget* container :
         std::initializer_list<QWidget*>{frmSiteInfo, frmStats, frmCarsx, picStatus})
        container->installEventFilter(this);

    connect(lstCars, &QListWidget::itemChanged, this, [this] { updateDownloadButton(); });
    QAbstractItemModel* rows = lstCars->model();
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(rows, signal, this, [this] { m_rowsChanged = true; });
    connect(rows, &QAbstractItemModel::rowsMoved, this, [this] { m_rowsChanged = true; });
    connect(rows, &QAbstractItemModel::modelReset, this, [this] { m_rowsChanged = true; });
    connect(rows, &QAbstractItemModel::layoutChanged, this, [this] { m_rowsChanged = true; });
    connect(lstCars, &QListWidget::currentRowChanged, this, [this] { RefreshPreview(); });
    connect(tmrFirstSS, &QTimer::timeout, this, [this] {
        tmrFirstSS->stop(); // for good
        RefreshPreview();
    });
    connect(cmdOpt, &QPushButton::clicked, this,
            [this] { mnuOpt->popup(mapToGlobal(optionsMenuPosition())); });
    connect(mnuVSS, &QAction::triggered, this, [this] {
        RefreshPreview();
        saveOptions();
    });
    connect(mnuDAD, &QAction::triggered, this, [this] { saveOptions(); });
    connect(mnuSAD, &QAction::triggered, this, [this] { saveOptions(); });
    connect(lblWebsiteLinkx, &ClickableLabel::clicked, this,
            [this] { m_ctx.actions->openUrl(SiteURL); });
    connect(cmdDownload, &QPushButton::clicked, this, [this] { RequestDownload(); });
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
    m_filter.setRow(k, {name, m_ctx.session->CarAuthors.value(k)});
    if (!m_filter.shows(k))
        lstCars->setRowHidden(lstCars->row(item), true);
}

void frmCars::setFilterText(const QString& text) {
    if (txtFind->text() != text) {
        txtFind->setText(text); // comes back here through textChanged
        return;
    }
    m_filter.setText(text);
    applyFilter();
}

void frmCars::refreshMarks() {
    // The catalogue's address as a download records it with the car's origin.
    const QString site =
        m_ctx.session->CatalogueSite.isEmpty() ? SiteURL : m_ctx.session->CatalogueSite;
    const QHash<QString, QString> marks = CatalogueMarks::of(*m_ctx.session, site);
    // A mark is no tick: the download button need not hear of it.
    const QSignalBlocker quiet(lstCars);
    for (int p = 0; p < lstCars->count(); ++p) {
        QListWidgetItem* item = lstCars->item(p);
        const QString mark = marks.isEmpty() ? QString() : marks.value(item->text());
        if (item->data(CarMarkDelegate::kMarkRole).toString() != mark)
            item->setData(CarMarkDelegate::kMarkRole, mark.isEmpty() ? QVariant() : mark);
    }
}

QString frmCars::markOf(int row) const {
    const QListWidgetItem* item = lstCars->item(row);
    return item ? item->data(CarMarkDelegate::kMarkRole).toString() : QString();
}

void frmCars::applyFilter() {
    const int count = lstCars->count();
    if (m_rowsChanged) {
        m_rowsChanged = false;
        m_rowIndex.resize(count);
        m_rowHidden.resize(count);
        for (int p = 0; p < count; ++p) {
            m_rowIndex[p] = lstCars->item(p)->data(Qt::UserRole).toInt();
            m_rowHidden[p] = lstCars->isRowHidden(p);
        }
    }
    bool changed = false;
    // One repaint for all the rows, not a request for each.
    lstCars->setUpdatesEnabled(false);
    for (int p = 0; p < count; ++p) {
        const bool hide = !m_filter.shows(m_rowIndex.at(p));
        if (m_rowHidden.at(p) != hide) {
            m_rowHidden[p] = hide;
            lstCars->setRowHidden(p, hide);
            changed = true;
        }
    }
    lstCars->setUpdatesEnabled(true);
    // Lay the rows out now: left to the view's own delayed layout, showing thousands of rows
    // again after a few took a second.
    if (changed)
        lstCars->doItemsLayout();
}

int frmCars::checkedCount() const {
    int n = 0;
    for (int row = 0; row < lstCars->count(); ++row)
        if (lstCars->item(row)->checkState() == Qt::Checked)
            ++n;
    return n;
}

void frmCars::setListWidth(int width) {
    for (QWidget* w : std::initializer_list<QWidget*>{txtFind, lstCars}) {
        QRect g = w->geometry();
        g.setWidth(width);
        w->setGeometry(g);
    }
}

void frmCars::showNoPicture(const QString& caption) {
    EnableControls();
    cmdSS->setEnabled(false);
    imgSS->setEnabled(false);
    imgSS->clear();
    lblInfo6->setText(caption);
    lblStatus->setText(kIdle);
    if (isVisible())
        lstCars->setFocus();
    imgSS->show();
}

void frmCars::RefreshPreview() {
    using ScreenshotPreview::State;
    const Session& s = *m_ctx.session;
    const qint16 p = qint16(lstCars->currentRow());
    const qint32 i = GetCarIndex(p);

    if (s.CatalogueFormat == 1)
        txtAuthor->setText(AuthorLine(s.CarAuthors.value(i)));
    imgSS->hide();

    const ScreenshotPreview::Plan plan =
        ScreenshotPreview::plan(s, mnuVSS->isChecked(), p, i, LastShotIndex);
    if (plan.state == State::Off) {
        setListWidth(kWideList);
        showNoPicture(QString());
        return;
    }
    setListWidth(kNarrowList);
    lblInfo6->setText(kCaption);
    if (plan.state == State::NoShot) {
        showNoPicture(kNoShot);
        return;
    }

    lblStatus->setText(kLoading);
    DisableControls();
    if (plan.fetch) {
        const bool fetched = ScreenshotPreview::fetch(m_ctx, plan.url, LastShotIndex);
        if (m_ctx.programEnd->ended())
            return;
        if (!fetched) {
            showNoPicture(kNoShot);
            return;
        }
    }

    EnableControls();
    lblStatus->setText(kIdle);
    const QImage picture = ScreenshotPicture::load(ScreenshotPreview::file(s));
    if (ScreenshotPreview::settle(!picture.isNull(), p, LastShotIndex) == State::NoShot) {
        // Not a picture: no message, and the position is not remembered, so the next highlight
        // of this entry fetches it again.
        showNoPicture(kNoShot);
        return;
    }
    imgSS->setScaledContents(true);
    imgSS->setPixmap(QPixmap::fromImage(picture));
    lstCars->setFocus();
    imgSS->show();
}

void frmCars::RequestDownload() {
    // The run reads the after-download choices from the settings, so store them first.
    saveOptions();
    const int installed = CountInstalledCars(*m_ctx.session);

    QList<DownloadSelection::Row> rows;
    for (int p = 0; p < lstCars->count(); ++p) {
        const QListWidgetItem* item = lstCars->item(p);
        DownloadSelection::Row row;
        row.checked = item->checkState() == Qt::Checked;
        row.text = item->text();
        if (row.checked)
            row.index = GetCarIndex(qint16(p));
        rows.append(row);
    }
    const int ticked = DownloadSelection::tickedCount(rows);
    if (DownloadSelection::exceedsLimit(ticked, installed)) {
        m_ctx.prompts->show(DownloadSelection::limitMessage(ticked, installed),
                            DownloadSelection::kLimitTitle, 48);
        return;
    }

    hide();
    // One download window per browser: created hidden on the first request, emptied on each.
    auto* form =
        findChild<DownloadForm*>(QStringLiteral("DownloadForm"), Qt::FindDirectChildrenOnly);
    if (!form)
        form = new DownloadForm(m_ctx, this);
    form->lstdl->clear();
    form->lstdlx->clear();
    const DownloadSelection::Selection chosen =
        DownloadSelection::select(rows, m_ctx.session->CarZipURLs);
    form->lstdl->addItems(chosen.names);
    form->lstdlx->addItems(chosen.urls);

    if (form->lstdl->count() > 0) {
        form->Process();
        return;
    }
    m_ctx.prompts->show(DownloadSelection::noAddressMessage(), DownloadSelection::kNoAddressTitle,
                        48);
    show();
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
    if (watched == txtFind && e->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(e)->key()) {
        case Qt::Key_Escape:
            txtFind->clear();
            return true;
        case Qt::Key_Down:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            lstCars->setFocus(Qt::TabFocusReason); // on to the rows found
            return true;
        default:
            break;
        }
    }
    // A label's new text asks its container for a new layout: size the labels to their text.
    if (e->type() == QEvent::LayoutRequest)
        fitLabelsToText();
    return QWidget::eventFilter(watched, e);
}

void frmCars::changeEvent(QEvent* e) {
    // Back from the Installed Cars window or an install from files: the marks may have changed.
    if (e->type() == QEvent::ActivationChange && isActiveWindow())
        refreshMarks();
    QWidget::changeEvent(e);
}

void frmCars::showEvent(QShowEvent* e) {
    fitLabelsToText();
    refreshMarks();
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

bool frmCars::ready() const {
    return cmdOpt->isEnabled();
}

void frmCars::dragEnterEvent(QDragEnterEvent* e) {
    InstallFromFiles::dragEnter(e);
}

void frmCars::dropEvent(QDropEvent* e) {
    InstallFromFiles::drop(m_ctx, this, e, [this] { return ready(); });
}

void frmCars::closeEvent(QCloseEvent* e) {
    if (ConfirmExit(m_ctx) == 1)
        e->ignore(); // No keeps the window
    else
        e->accept();
}
