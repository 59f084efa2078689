#include "gui/frmInstalled.h"

#include "core/gamedata/CarRemoval.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/GameLock.h"
#include "core/gamedata/InstalledCarList.h"
#include "core/session/AppContext.h"
#include "core/session/Session.h"
#include "gui/ClassicFont.h"
#include "gui/frmSerial.h"
#include "platform/GameFs.h"
#include "platform/MessageBoxService.h"
#include "platform/ProgramEnd.h"
#include "platform/SystemActions.h"

#include <QEventLoop>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { Id, Name, Serial, Remarks };
constexpr int kQuestionNoDefault = 36 + 256; // a removal is not what Enter should confirm
constexpr int kRefused = 48;
const QString kTitle = QStringLiteral("NFSHS Kavro - Installed Cars");

} // namespace

frmInstalled::frmInstalled(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("frmInstalled"));
    setWindowTitle(kTitle);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(ClassicFont());
    resize(560, 340);

    lblInfo = new QLabel(
        QStringLiteral("The cars installed in the game, in the game's order. Select one or more."),
        this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lstInstalled = new QTreeWidget(this);
    lstInstalled->setObjectName(QStringLiteral("lstInstalled"));
    lstInstalled->setHeaderLabels({QStringLiteral("Car"), QStringLiteral("Name"),
                                   QStringLiteral("Serial"), QStringLiteral("Remarks")});
    lstInstalled->setRootIsDecorated(false);
    lstInstalled->setUniformRowHeights(true);
    lstInstalled->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstInstalled->header()->setStretchLastSection(true);
    lstInstalled->setColumnWidth(Id, 60);
    lstInstalled->setColumnWidth(Name, 170);
    lstInstalled->setColumnWidth(Serial, 50);
    lstInstalled->installEventFilter(this);

    cmdRemove = new QPushButton(QStringLiteral("Remove"), this);
    cmdRemove->setObjectName(QStringLiteral("cmdRemove"));
    cmdFix = new QPushButton(QStringLiteral("Fix Serial Numbers"), this);
    cmdFix->setObjectName(QStringLiteral("cmdFix"));
    cmdOpen = new QPushButton(QStringLiteral("Open Folder"), this);
    cmdOpen->setObjectName(QStringLiteral("cmdOpen"));
    cmdClose = new QPushButton(QStringLiteral("Close"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdRemove);
    buttons->addWidget(cmdFix);
    buttons->addWidget(cmdOpen);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblInfo);
    layout->addWidget(lstInstalled, 1);
    layout->addLayout(buttons);

    connect(lstInstalled, &QTreeWidget::itemSelectionChanged, this, [this] { updateButtons(); });
    connect(cmdRemove, &QPushButton::clicked, this, [this] { removeSelected(); });
    connect(cmdFix, &QPushButton::clicked, this, [this] { fixSerials(); });
    connect(cmdOpen, &QPushButton::clicked, this, [this] { openFolder(); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    refresh();
    lstInstalled->setFocus();
}

QString frmInstalled::remarks(const InstalledCar& car) {
    QStringList marks;
    if (!car.conflictsWith.isEmpty())
        marks.append(QStringLiteral("shares its serial number with ") +
                     car.conflictsWith.join(QStringLiteral(", ")));
    if (car.invalidArchive)
        marks.append(QStringLiteral("invalid archive"));
    return marks.join(QStringLiteral("; "));
}

void frmInstalled::refresh() {
    const QStringList selected = selectedIds();
    const QString current =
        lstInstalled->currentItem() ? lstInstalled->currentItem()->text(Id) : QString();
    lstInstalled->clear();
    for (const InstalledCar& car : InstalledCarList::scan(*m_ctx.session)) {
        auto* row = new QTreeWidgetItem(lstInstalled);
        row->setText(Id, car.id);
        row->setText(Name, car.name);
        row->setText(Serial, car.invalidArchive ? QString() : QString::number(car.serial));
        row->setText(Remarks, remarks(car));
        row->setSelected(selected.contains(car.id));
        if (car.id == current)
            lstInstalled->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
    }
    // The session's tables follow the game, for the serial checks of the next install.
    ScanCarSerials(*m_ctx.session);
    updateButtons();
}

QStringList frmInstalled::selectedIds() const {
    QStringList ids;
    for (int i = 0; i < lstInstalled->topLevelItemCount(); ++i)
        if (const QTreeWidgetItem* row = lstInstalled->topLevelItem(i); row->isSelected())
            ids.append(row->text(Id));
    return ids;
}

void frmInstalled::updateButtons() {
    const qsizetype n = selectedIds().size();
    cmdRemove->setEnabled(n > 0);
    cmdOpen->setEnabled(n == 1);
}

void frmInstalled::removeSelected() {
    const QStringList ids = selectedIds();
    if (ids.isEmpty())
        return;
    QString question =
        ids.size() == 1
            ? QStringLiteral("Remove this car from the game? Its folder, its save data and its "
                             "video-wall pictures are deleted.\r\n")
            : QStringLiteral("Remove these %1 cars from the game? Their folders, save data and "
                             "video-wall pictures are deleted.\r\n")
                  .arg(ids.size());
    for (int i = 0; i < lstInstalled->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = lstInstalled->topLevelItem(i);
        if (row->isSelected())
            question +=
                QStringLiteral("\r\n") + row->text(Id) + QStringLiteral("  ") + row->text(Name);
    }
    const auto answer =
        m_ctx.prompts->show(question, QStringLiteral("Remove Cars"), kQuestionNoDefault);
    if (m_ctx.programEnd->ended() || answer != MessageBoxService::Yes)
        return;
    // No other program changes the game's cars while these go.
    GameLock gameLock(m_ctx.session->GamePath);
    if (QString held; !gameLock.lock(&held)) {
        m_ctx.prompts->show(held, kTitle, kRefused);
        return;
    }
    QStringList failures;
    for (const QString& id : ids) {
        QString why;
        if (!CarRemoval::removeCar(*m_ctx.session, id, &why))
            failures.append(QStringLiteral("%1 could not be removed: %2").arg(id, why));
    }
    refresh();
    if (!failures.isEmpty())
        m_ctx.prompts->show(failures.join(QStringLiteral("\r\n")), kTitle, kRefused);
}

void frmInstalled::fixSerials() {
    // The fixer over this window: its Exit closes it, the program goes on.
    QPointer<frmSerial> fixer = new frmSerial(m_ctx, this);
    fixer->setWindowFlag(Qt::Window);
    fixer->setEndsProgram(false);
    fixer->setWorkFolderHeld(true);
    fixer->setAttribute(Qt::WA_DeleteOnClose);
    fixer->setWindowModality(Qt::ApplicationModal);
    fixer->move(geometry().center() - fixer->rect().center());
    QEventLoop wait;
    connect(fixer, &QObject::destroyed, &wait, &QEventLoop::quit);
    connect(m_ctx.programEnd, &ProgramEnd::programEnded, &wait, &QEventLoop::quit);
    fixer->show();
    wait.exec();
    if (m_ctx.programEnd->ended())
        return;
    refresh();
}

void frmInstalled::openFolder() {
    const QStringList ids = selectedIds();
    if (ids.size() != 1)
        return;
    const QString name = CarRemoval::installedName(*m_ctx.session, ids.first());
    if (!name.isEmpty())
        m_ctx.actions->openFolder(
            GameFs::resolve(m_ctx.session->GamePath, QStringLiteral("Data/Cars/") + name));
    refresh();
}

bool frmInstalled::eventFilter(QObject* watched, QEvent* e) {
    if (watched == lstInstalled && e->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(e)->key()) {
        case Qt::Key_Delete:
            removeSelected();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            openFolder();
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, e);
}
