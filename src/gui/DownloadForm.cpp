#include "gui/DownloadForm.h"

#include "core/download/AfterDownloadActions.h"
#include "core/download/DownloadFormats.h"
#include "core/download/DownloadLogText.h"
#include "core/download/HttpTransfer.h"
#include "core/session/AppContext.h"
#include "core/session/Session.h"
#include "gui/AdPane.h"
#include "gui/ClassicFont.h"
#include "gui/ClipPlayer.h"
#include "gui/Twips.h"
#include "gui/WindowPlacement.h"
#include "gui/frmLog.h"
#include "platform/MessageBoxService.h"
#include "platform/ProgramEnd.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

using Twips::twips;

namespace {

const QString kCaptionDownloading = QStringLiteral("Downloading...");
const QString kCaptionInstalling = QStringLiteral("Installing Car...");
const QString kCancelled = QStringLiteral("Cancelled by User");

// The run's boxes (the scan's notices about a broken installed car) are not shown: no box comes
// during a run; the car's log block gives them.
class NoBoxes : public MessageBoxService {
public:
    Answer show(const QString&, const QString&, int) override { return Ok; }
};

} // namespace

// The clip resource lives in a static library: make sure its data is linked in and registered.
static void initClipResource() {
    Q_INIT_RESOURCE(clip);
}

DownloadForm::DownloadForm(AppContext& ctx, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      Inet1(new HttpTransfer(ctx.network, this)), m_ctx(ctx),
      m_run(ctx, *Inet1, *this, *this, DownloadRun::carSteps(ctx, [this](const QString& status) {
                StatusLabel->setText(status);
                setWindowTitle(status);
            })) {
    initClipResource();
    setObjectName(QStringLiteral("DownloadForm"));
    setWindowTitle(kCaptionDownloading);
    setFixedSize(Twips::pixels(7110), Twips::pixels(3795));
    // The layout was drawn for the narrow 8-point dialog face: in a wider one the time/size/rate
    // block no longer fits its label.
    setFont(ClassicFont());

    lstdl = new QListWidget(this);
    lstdl->setObjectName(QStringLiteral("lstdl"));
    lstdl->setGeometry(twips(180, 180, 1815, 2205));
    lstdl->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff); // long names are cut, as shown
    QPalette listPalette = lstdl->palette();
    listPalette.setColor(QPalette::Base, listPalette.color(QPalette::Button));
    lstdl->setPalette(listPalette);

    lstdlx = new QListWidget(this);
    lstdlx->setObjectName(QStringLiteral("lstdlx"));
    lstdlx->hide();

    Animation1 = new ClipPlayer(this);
    Animation1->setObjectName(QStringLiteral("Animation1"));
    Animation1->setGeometry(twips(2520, 0, 4095, 615));

    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    StatusLabel->setGeometry(twips(2220, 960, 4635, 315));

    PBarOut = new QWidget(this);
    PBarOut->setObjectName(QStringLiteral("PBarOut"));
    PBarOut->setGeometry(twips(2220, 1380, 4635, 195));
    PBarOut->setAutoFillBackground(true);
    QPalette outPalette = PBarOut->palette();
    outPalette.setColor(QPalette::Window, QColor(224, 224, 224));
    PBarOut->setPalette(outPalette);

    PBar = new QWidget(PBarOut);
    PBar->setObjectName(QStringLiteral("PBar"));
    PBar->setGeometry(0, 0, 0, Twips::pixels(195));
    PBar->setAutoFillBackground(true);
    QPalette barPalette = PBar->palette();
    barPalette.setColor(QPalette::Window, QColor(0, 0, 255));
    PBar->setPalette(barPalette);

    StatusLabel2 = new QLabel(this);
    StatusLabel2->setObjectName(QStringLiteral("StatusLabel2"));
    StatusLabel2->setGeometry(twips(2220, 1680, 4635, 615));
    StatusLabel2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    StatusLabel2->setWordWrap(true);

    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setGeometry(twips(5820, 2340, 1215, 375));
    CancelButton->setAutoDefault(true); // Enter on it presses it, as Space does

    wbADS = new AdPane(ctx.network, this);
    wbADS->setObjectName(QStringLiteral("wbADS"));
    wbADS->setGeometry(twips(0, 2820, 7080, 960));

    Inet1->setObjectName(QStringLiteral("Inet1"));

    tmrADS = new QTimer(this);
    tmrADS->setObjectName(QStringLiteral("tmrADS"));
    tmrADS->setInterval(1);

    connect(CancelButton, &QPushButton::clicked, this, [this] {
        QCoreApplication::processEvents();
        if (!ended())
            close();
    });
    connect(lstdl, &QListWidget::itemClicked, this, &DownloadForm::keepCurrentItem);
    connect(lstdl, &QListWidget::currentRowChanged, this, &DownloadForm::keepCurrentItem);
    connect(lstdl->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &DownloadForm::keepCurrentItem);
    connect(tmrADS, &QTimer::timeout, this, &DownloadForm::adsTick);
    m_progressTimer = new QTimer(this);
    m_progressTimer->setSingleShot(true);
    connect(m_progressTimer, &QTimer::timeout, this, &DownloadForm::applyProgress);
}

DownloadForm::~DownloadForm() = default;

bool DownloadForm::ended() const {
    return m_ctx.programEnd->ended();
}

QString DownloadForm::FormatFileSize(double dblFileSize) {
    return ::FormatFileSize(dblFileSize);
}
QString DownloadForm::FormatTime(float sglTime) {
    return ::FormatTime(sglTime);
}
QString DownloadForm::ReturnFileOrFolder(const QString& FullPath, bool ReturnFile, bool IsURL) {
    return ::ReturnFileOrFolder(FullPath, ReturnFile, IsURL);
}

QString DownloadForm::selectedName() const {
    const QListWidgetItem* item = lstdl->currentItem();
    return item ? item->text() : QString();
}

bool DownloadForm::DownloadFile(const QString& strURL, const QString& strDestination,
                                const QString& UserName, const QString& Password) {
    return m_run.downloadFile(strURL, strDestination, UserName, Password);
}

void DownloadForm::Process() {
    setWindowTitle(QStringLiteral("."));
    show();
    tmrADS->start();
    QCoreApplication::processEvents();
    if (ended())
        return;

    writeClip();

    QStringList names, urls;
    for (int row = 0; row < lstdl->count(); ++row) {
        names.append(lstdl->item(row)->text());
        const QListWidgetItem* address = lstdlx->item(row);
        urls.append(address ? address->text() : QString());
    }
    if (!m_run.run(names, urls))
        return;

    hide();
    tmrADS->stop();
    AfterDownload::RunAfterDownloadActions(m_ctx,
                                           [this] { frmLog::showAndEnd(m_ctx, DownloadLog); });
}

void DownloadForm::writeClip() {
    QFile clip(QStringLiteral(":/movies/DLAVI"));
    QFile copy(m_ctx.session->workDir() + QStringLiteral("KAVRO.DRT"));
    if (clip.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly))
        copy.write(clip.readAll());
    copy.close();
}

QString DownloadForm::InstallZips(const QList<ZipInstallRun::Car>& cars, int* notDone) {
    // A confirmed cancel ends this run the way the end of the program ends any run: the car
    // being unpacked is left out, no further car starts. The program's own end does the same.
    ProgramEnd cancel(true);
    NoBoxes noBoxes;
    AppContext runCtx = m_ctx;
    runCtx.programEnd = &cancel;
    runCtx.prompts = &noBoxes;
    const QMetaObject::Connection programEnded =
        connect(m_ctx.programEnd, &ProgramEnd::programEnded, &cancel, [&cancel] {
            if (!cancel.ended())
                cancel.EndProgram();
        });
    m_zipCancel = &cancel;
    const auto done = qScopeGuard([&] {
        disconnect(programEnded);
        m_zipCancel = nullptr;
        Animation1->stop();
        wbADS->show();
        hide();
    });

    lstdl->clear();
    lstdlx->clear();
    for (const ZipInstallRun::Car& car : cars)
        lstdl->addItem(car.name);
    ErrorText.clear();
    DownloadLog.clear();
    CancelRequested = false;
    TransferEnded = false; // a cancel is always asked for
    CurrentItem = 0;
    setWindowTitle(kCaptionInstalling);
    writeClip();
    Animation1->open(m_ctx.session->workDir() + QStringLiteral("KAVRO.DRT"));
    Animation1->play();
    showZip(cars, 1);
    // Nothing on this road comes from the network: no advertisement pane, and the window ends
    // below its Cancel button.
    wbADS->hide();
    setFixedSize(width(), wbADS->y());
    centreOnScreen(this);
    show();
    QCoreApplication::processEvents();

    ZipInstallRun run(runCtx);
    int installed = 0;
    int good = 0;
    run.onCar = [&](const ZipInstallRun::Result& result) {
        ++installed;
        if (result.installed())
            ++good;
        showZipBar(installed, int(cars.size()));
        if (installed < cars.size())
            showZip(cars, installed + 1);
        QCoreApplication::processEvents();
    };
    if (!cancel.ended())
        run.run(cars);
    if (notDone)
        *notDone = int(cars.size()) - good;
    if (ended())
        return {};
    if (!run.logWritten())
        m_ctx.programEnd->setExitStatus(1);

    // The run's own text, never the file read back (which may be missing or another run's).
    QString log = run.log();
    if (cancel.ended() && !log.contains(kCancelled))
        log += DownloadLogText::cancelLines(DownloadLogText::stamp(*m_ctx.clock));
    return log;
}

void DownloadForm::showZip(const QList<ZipInstallRun::Car>& cars, int n) {
    const int count = int(cars.size());
    CurrentItem = qint16(n);
    showCar(qint16(n));
    StatusLabel->setText(
        QStringLiteral("Installing car %1 of %2: %3").arg(n).arg(count).arg(cars.at(n - 1).name));
    showStatus2(cars.at(n - 1).zipPath);
    showZipBar(n - 1, count);
}

void DownloadForm::showZipBar(int done, int count) {
    PBar->resize(count > 0 ? PBarOut->width() * done / count : 0, PBar->height());
}

void DownloadForm::closeEvent(QCloseEvent* e) {
    // The window never closes by itself: a confirmed close ends the program instead.
    e->ignore();
    closeRequest();
}

void DownloadForm::closeRequest() {
    if (m_inCloseRequest || ended() || (m_zipCancel && m_zipCancel->ended()))
        return;
    m_inCloseRequest = true;
    const auto done = qScopeGuard([this] { m_inCloseRequest = false; });
    QCoreApplication::processEvents();
    if (ended())
        return;
    m_run.askCancel();
    QCoreApplication::processEvents();
    if (ended() || !CancelRequested)
        return;
    if (m_zipCancel) {
        // Installing ZIPs: the run stops; the log and the window the player came from follow.
        m_zipCancel->EndProgram();
        return;
    }
    hide();
    m_run.logCancel();
    frmLog::showAndEnd(m_ctx, DownloadLog);
}

void DownloadForm::keepCurrentItem() {
    if (CurrentItem < 1 || m_keepingItem || CurrentItem > lstdl->count())
        return;
    m_keepingItem = true;
    lstdl->setCurrentRow(CurrentItem - 1);
    lstdl->scrollToItem(lstdl->item(CurrentItem - 1), QAbstractItemView::PositionAtTop);
    m_keepingItem = false;
}

void DownloadForm::showCar(qint16 n) {
    lstdl->setCurrentRow(n - 1);
    lstdl->scrollToItem(lstdl->item(n - 1), QAbstractItemView::PositionAtTop);
}

void DownloadForm::adsTick() {
    tmrADS->setInterval(60000);
    wbADS->move(1, wbADS->y());
    wbADS->stopLoading();
    wbADS->navigate(QUrl(m_ctx.session->SessionPaths[Session::AdsURL]));
}

void DownloadForm::setStatus(const QString& text) {
    applyProgress();
    StatusLabel->setText(text);
}

void DownloadForm::setStatus2(const QString& text) {
    applyProgress();
    showStatus2(text);
}

void DownloadForm::showStatus2(const QString& text) {
    m_status2 = text;
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    StatusLabel2->setText(shown);
}

void DownloadForm::openClip(const QString& path) {
    applyProgress();
    Animation1->open(path);
}

void DownloadForm::playClip() {
    applyProgress();
    Animation1->play();
}

void DownloadForm::showProgress(const DownloadProgress& progress) {
    // Chunks can come far faster than a screen shows them (thousands a second): the texts go on
    // the controls at most once a frame, the latest update at the end of each frame, and always
    // before the downloader shows anything else, so the screen is never more than a frame behind
    // and every status the downloader sets comes after the progress that preceded it.
    m_pendingProgress = progress;
    m_progressPending = true;
    const qint64 since =
        m_sinceProgressShown.isValid() ? m_sinceProgressShown.elapsed() : kProgressFrameMs;
    if (since >= kProgressFrameMs)
        applyProgress();
    else if (!m_progressTimer->isActive())
        m_progressTimer->start(int(kProgressFrameMs - since));
}

void DownloadForm::applyProgress() {
    if (!m_progressPending)
        return;
    m_progressPending = false;
    m_progressTimer->stop();
    m_sinceProgressShown.start();
    const DownloadProgress& progress = m_pendingProgress;
    showStatus2(progress.timeSizeRateText());
    PBar->resize(progress.barWidth(PBarOut->width()), PBar->height());
    const QString line = progress.percentageLine(selectedName());
    StatusLabel->setText(line);
    if (isMinimized())
        setWindowTitle(line);
    else if (windowTitle() != kCaptionDownloading)
        setWindowTitle(kCaptionDownloading);
}
