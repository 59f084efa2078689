#include "gui/frmSelect.h"

#include "core/catalogue/CatalogueFile.h"
#include "core/catalogue/CatalogueMessages.h"
#include "core/catalogue/FetchFile.h"
#include "core/session/AppContext.h"
#include "core/session/ConfirmExit.h"
#include "core/session/Session.h"
#include "gui/ClassicFont.h"
#include "gui/InstallFromFiles.h"
#include "gui/Twips.h"
#include "gui/WindowPlacement.h"
#include "gui/frmCars.h"
#include "platform/AnsiText.h"
#include "platform/MessageBoxService.h"
#include "platform/ProgramEnd.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

using Twips::make;
using Twips::twips;

namespace {

const QString kIdle = QStringLiteral(".");
const QString kServerListFile = QStringLiteral("Kavro_SL.dat");
const QString kCatalogueFile = QStringLiteral("Kavro_CL.dat");

} // namespace

frmSelect::frmSelect(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("frmSelect"));
    setWindowTitle(QStringLiteral("NFSHS Kavro"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(twips(0, 0, 4920, 1965).size());
    setFont(ClassicFont());

    lblInfo = make<QLabel>(this, "lblInfo", twips(120, 120, 4680, 255));
    lblInfo->setText(QStringLiteral("Choose a server from which you would like to download cars."));
    cboSites = make<QComboBox>(this, "cboSites", twips(120, 480, 4680, 330));
    cboSites->setEditable(false);
    cboSites->setEnabled(false);
    cmdConnect = make<QPushButton>(this, "cmdConnect", twips(2400, 1005, 1140, 375));
    cmdConnect->setText(QStringLiteral("Connect"));
    cmdConnect->setEnabled(false);
    cmdExit = make<QPushButton>(this, "cmdExit", twips(3660, 1005, 1140, 375));
    cmdExit->setText(QStringLiteral("Exit"));
    picStatus = make<QWidget>(this, "picStatus", twips(0, 1710, 4920, 255));
    lblStatus = make<QLabel>(picStatus, "lblStatus", twips(60, 0, 4800, 195));
    lblStatus->setText(kIdle);
    cmdOpt = make<QPushButton>(this, "cmdOpt", twips(120, 1005, 1515, 375));
    cmdOpt->setText(QStringLiteral("Options              ->"));
    mnuOpt = new QMenu(QStringLiteral("Options"), this);
    mnuOpt->setObjectName(QStringLiteral("mnuOpt"));
    mnuOpt->setFont(ClassicFont());
    InstallFromFiles::addMenuItems(m_ctx, this, mnuOpt, [this] { return !m_busy; });
    setAcceptDrops(true);
    tmrDo = new QTimer(this);
    tmrDo->setObjectName(QStringLiteral("tmrDo"));
    tmrDo->setInterval(100);

    // Enter on a focused button presses it, as Space does.
    for (QPushButton* b : {cmdOpt, cmdConnect, cmdExit})
        b->setAutoDefault(true);
    setTabOrder(cboSites, cmdOpt);
    setTabOrder(cmdOpt, cmdConnect);
    setTabOrder(cmdConnect, cmdExit);

    connect(tmrDo, &QTimer::timeout, this, [this] { fetchServerList(); });
    connect(cmdConnect, &QPushButton::clicked, this, [this] { connectToServer(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { ConfirmExit(m_ctx); });
    connect(cmdOpt, &QPushButton::clicked, this, [this] {
        // The menu opens at the button's top-right corner, as the car browser's does.
        mnuOpt->popup(mapToGlobal(cmdOpt->geometry().topRight() + QPoint(1, 0)));
    });

    tmrDo->start();
}

frmSelect::~frmSelect() {
    delete m_cars;
}

frmCars* frmSelect::carBrowser() const {
    return m_cars;
}

QString frmSelect::noServersStatus() {
    return QStringLiteral("No server list. Cars can be installed from files: Ctrl+O.");
}

void frmSelect::fetchServerList() {
    tmrDo->stop(); // the list is fetched once per window
    lblStatus->setText(QStringLiteral("Getting list of servers..."));
    const Session& s = *m_ctx.session;
    m_busy = true;
    const bool fetched =
        FetchFile(m_ctx, s.SessionPaths[Session::ServerListURL], s.workDir() + kServerListFile);
    m_busy = false;
    if (m_ctx.programEnd->ended())
        return;
    if (fetched) {
        lblStatus->setText(kIdle);
        readServerList();
        if (m_ctx.programEnd->ended())
            return;
    }
    cboSites->setFocus();
    // Without servers the window is still of use: the Options menu installs cars from files.
    lblStatus->setText(cmdConnect->isEnabled() ? kIdle : noServersStatus());
}

void frmSelect::readServerList() {
    QStringList lines;
    AnsiText::readLines(m_ctx.session->workDir() + kServerListFile, lines);
    switch (m_servers.parse(lines)) {
    case ServerList::Status::Corrupt:
        m_ctx.prompts->show(CatalogueMessages::kCorruptFile, QString(), CatalogueMessages::kStyle);
        return;
    case ServerList::Status::Outdated:
        m_ctx.prompts->show(CatalogueMessages::outdatedVersion(), CatalogueMessages::kOutdatedTitle,
                            CatalogueMessages::kStyle);
        return;
    case ServerList::Status::Ok:
        break;
    }
    cboSites->addItems(m_servers.ServerNames.mid(1));
    cboSites->setEnabled(true);
    cboSites->setCurrentIndex(0);
    cmdConnect->setEnabled(true);
}

void frmSelect::readyAgain() {
    cmdConnect->setEnabled(true);
    cboSites->setEnabled(true);
    lblStatus->setText(kIdle);
    cboSites->setFocus();
}

void frmSelect::connectToServer() {
    const int i = cboSites->currentIndex() + 1;
    if (i < 1 || i > m_servers.count())
        return;
    const QString url = m_servers.ServerURLs.at(i);
    const QString name = m_servers.ServerNames.at(i);
    cmdConnect->setEnabled(false);
    cboSites->setEnabled(false);
    lblStatus->setText(QStringLiteral("Connecting to ") + url + QStringLiteral("..."));

    Session& s = *m_ctx.session;
    const QString file = s.workDir() + kCatalogueFile;
    // The catalogue path is appended as it stands: no slash is put in between.
    m_busy = true;
    const bool fetched = FetchFile(m_ctx, url + m_servers.ServerCataloguePaths.at(i), file);
    m_busy = false;
    if (m_ctx.programEnd->ended())
        return;
    if (!fetched) {
        readyAgain();
        return;
    }
    lblStatus->setText(kIdle);

    if (!m_cars)
        m_cars = new frmCars(m_ctx); // stays loaded (hidden) if this load fails
    s.resetCatalogue();
    QStringList lines;
    if (!AnsiText::readLines(file, lines)) {
        readyAgain();
        return;
    }
    CatalogueFile catalogue;
    catalogue.parse(lines, url);
    frmCars& cars = *m_cars;
    {
        // A new load starts from an empty list (an earlier load may have stopped part-way).
        const QSignalBlocker quiet(cars.lstCars);
        cars.lstCars->clear();
    }
    if (catalogue.outdated) {
        // Told, and nothing is loaded: the file is not laid out the way this program reads.
        m_ctx.prompts->show(CatalogueMessages::outdatedVersion(), CatalogueMessages::kOutdatedTitle,
                            CatalogueMessages::kStyle);
        if (m_ctx.programEnd->ended())
            return;
        readyAgain();
        return;
    }
    catalogue.applyTo(s);

    cars.txtAuthor->setVisible(catalogue.format == 1);
    for (int k = 1; k <= s.carCount(); ++k)
        cars.addCar(s.CarNames.at(k), k);
    if (!catalogue.complete) {
        // An entry cut short (or lines that do not end the way the file's lines must): the
        // server list's message; what was read so far stays in the hidden browser.
        m_ctx.prompts->show(CatalogueMessages::kCorruptFile, QString(), CatalogueMessages::kStyle);
        if (m_ctx.programEnd->ended())
            return;
        readyAgain();
        return;
    }

    cars.lblNoCars->setText(QString::number(s.carCount()));
    cars.SiteName = name;
    cars.SiteURL = url;
    s.CatalogueSite = url;
    cars.lblWebsiteLink->setText(name);
    cars.lblWebsiteLinkx->setText(url);
    cars.show();
    hide();
}

void frmSelect::showEvent(QShowEvent* e) {
    if (!m_placed) {
        m_placed = true;
        centreOnScreen(this);
    }
    QWidget::showEvent(e);
}

void frmSelect::dragEnterEvent(QDragEnterEvent* e) {
    InstallFromFiles::dragEnter(e);
}

void frmSelect::dropEvent(QDropEvent* e) {
    InstallFromFiles::drop(m_ctx, this, e, [this] { return !m_busy; });
}

void frmSelect::closeEvent(QCloseEvent* e) {
    if (ConfirmExit(m_ctx) == 1)
        e->ignore(); // No keeps the window
    else
        e->accept();
}
