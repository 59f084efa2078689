#include "gui/frmInstalled.h"

#include "core/gamedata/CarRemoval.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/CarSets.h"
#include "core/gamedata/GameLock.h"
#include "core/gamedata/Garage.h"
#include "core/gamedata/InstalledCarList.h"
#include "core/session/AppContext.h"
#include "core/session/Session.h"
#include "gui/ClassicFont.h"
#include "gui/InstalledCarItem.h"
#include "gui/frmSerial.h"
#include "platform/GameFs.h"
#include "platform/MessageBoxService.h"
#include "platform/ProgramEnd.h"
#include "platform/SystemActions.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Column { Id, Name, Place, Serial, Remarks };
static_assert(Serial == InstalledCarItem::kNumberColumn);
// On the Id column: the row's place in the filter, and whether the car is parked.
constexpr int kFilterRow = Qt::UserRole;
constexpr int kParked = Qt::UserRole + 1;
constexpr int kQuestion = 36;
constexpr int kQuestionNoDefault = 36 + 256; // a removal is not what Enter should confirm
constexpr int kRefused = 48;
constexpr int kNotice = 0;
const QString kTitle = QStringLiteral("NFSHS Kavro - Installed Cars");
const QString kInGame = QStringLiteral("In the game");
const QString kParkedText = QStringLiteral("Parked");

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

} // namespace

frmInstalled::frmInstalled(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("frmInstalled"));
    setWindowTitle(kTitle);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(ClassicFont());
    resize(760, 420);

    lblInfo = new QLabel(QStringLiteral("The cars in the game, in the game's order, then the cars "
                                        "parked in its garage. Select one or more."),
                         this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    txtFind = new QLineEdit(this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setPlaceholderText(QStringLiteral("Find a car (name or id)"));
    txtFind->setClearButtonEnabled(true);
    txtFind->installEventFilter(this);
    lstInstalled = new QTreeWidget(this);
    lstInstalled->setObjectName(QStringLiteral("lstInstalled"));
    lstInstalled->setHeaderLabels({QStringLiteral("Car"), QStringLiteral("Name"),
                                   QStringLiteral("Where"), QStringLiteral("Serial"),
                                   QStringLiteral("Remarks")});
    lstInstalled->setRootIsDecorated(false);
    lstInstalled->setUniformRowHeights(true);
    lstInstalled->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstInstalled->header()->setStretchLastSection(true);
    lstInstalled->setColumnWidth(Id, 60);
    lstInstalled->setColumnWidth(Name, 170);
    lstInstalled->setColumnWidth(Place, 80);
    lstInstalled->setColumnWidth(Serial, 50);
    // A header click sorts by its column, a second click the other way round, a third brings the
    // game's order back.
    lstInstalled->header()->setSortIndicatorClearable(true);
    lstInstalled->header()->setSortIndicator(-1, Qt::AscendingOrder);
    lstInstalled->setSortingEnabled(true);
    connect(lstInstalled->header(), &QHeaderView::sortIndicatorChanged, this, [this](int section) {
        if (section < 0)
            refresh(); // filled again in the game's order
    });
    lstInstalled->installEventFilter(this);
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));

    cmdRemove = button(QStringLiteral("Remove"), "cmdRemove", this);
    cmdPark = button(QStringLiteral("Park"), "cmdPark", this);
    cmdPark->setToolTip(QStringLiteral("Park: out of the game into its garage, whole and ready to "
                                       "come back. Return: back into the game."));
    cmdFix = button(QStringLiteral("Fix Serial Numbers"), "cmdFix", this);
    cmdOpen = button(QStringLiteral("Open Folder"), "cmdOpen", this);
    cmdClose = button(QStringLiteral("Close"), "cmdClose", this);
    buildSets();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdRemove);
    buttons->addWidget(cmdPark);
    buttons->addWidget(cmdFix);
    buttons->addWidget(cmdOpen);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    auto* cars = new QVBoxLayout;
    cars->addWidget(txtFind);
    cars->addWidget(lstInstalled, 1);
    cars->addWidget(lblCount);
    auto* middle = new QHBoxLayout;
    middle->addLayout(cars, 1);
    middle->addWidget(frmSets);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblInfo);
    layout->addLayout(middle, 1);
    layout->addLayout(buttons);

    askText = [this](const QString& title, const QString& label, const QString& text) {
        bool ok = false;
        const QString answer =
            QInputDialog::getText(this, title, label, QLineEdit::Normal, text, &ok);
        return ok ? answer.trimmed() : QString();
    };

    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        txtFind->setFocus(Qt::ShortcutFocusReason);
        txtFind->selectAll();
    });
    connect(txtFind, &QLineEdit::textChanged, this, [this](const QString& t) { setFilterText(t); });
    connect(lstInstalled, &QTreeWidget::itemSelectionChanged, this, [this] { updateButtons(); });
    connect(cmdRemove, &QPushButton::clicked, this, [this] { removeSelected(); });
    connect(cmdPark, &QPushButton::clicked, this, [this] { parkOrReturn(); });
    connect(cmdFix, &QPushButton::clicked, this, [this] { fixSerials(); });
    connect(cmdOpen, &QPushButton::clicked, this, [this] { openFolder(); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);

    refresh();
    lstInstalled->setFocus();
}

void frmInstalled::buildSets() {
    frmSets = new QGroupBox(QStringLiteral("Sets"), this);
    frmSets->setObjectName(QStringLiteral("frmSets"));
    lstSets = new QListWidget(frmSets);
    lstSets->setObjectName(QStringLiteral("lstSets"));
    lstSets->setToolTip(QStringLiteral("Named lists of cars to have in the game together."));
    cmdSaveSet = button(QStringLiteral("Save as\u2026"), "cmdSaveSet", frmSets);
    cmdSaveSet->setToolTip(QStringLiteral("Keeps the cars in the game now as a set."));
    cmdUseSet = button(QStringLiteral("Use"), "cmdUseSet", frmSets);
    cmdUseSet->setToolTip(QStringLiteral("Parks every car not in the set and returns the set's "
                                         "parked cars."));
    cmdDeleteSet = button(QStringLiteral("Delete"), "cmdDeleteSet", frmSets);
    auto* setButtons = new QHBoxLayout;
    setButtons->addWidget(cmdSaveSet);
    setButtons->addWidget(cmdUseSet);
    setButtons->addWidget(cmdDeleteSet);
    auto* layout = new QVBoxLayout(frmSets);
    layout->addWidget(lstSets, 1);
    layout->addLayout(setButtons);
    frmSets->setFixedWidth(230);

    connect(lstSets, &QListWidget::itemSelectionChanged, this, [this] { updateButtons(); });
    connect(lstSets, &QListWidget::itemDoubleClicked, this, [this] { useSet(); });
    connect(cmdSaveSet, &QPushButton::clicked, this, [this] { saveSet(); });
    connect(cmdUseSet, &QPushButton::clicked, this, [this] { useSet(); });
    connect(cmdDeleteSet, &QPushButton::clicked, this, [this] { deleteSet(); });
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

QString frmInstalled::countText(int inGame) {
    return QStringLiteral("%1 of %2 cars in the game").arg(inGame).arg(Garage::kMaxCarsInGame);
}

void frmInstalled::refresh() {
    const QStringList selected = selectedIds();
    const QString current =
        lstInstalled->currentItem() ? lstInstalled->currentItem()->text(Id) : QString();
    // Filled in the game's order; the header's sort (if one is chosen) is applied afterwards.
    lstInstalled->setSortingEnabled(false);
    lstInstalled->clear();
    m_filter.clear();
    m_filter.setText(txtFind->text());
    int inGame = 0;
    auto add = [&](const InstalledCar& car, bool parked) {
        const int filterRow = lstInstalled->topLevelItemCount();
        auto* row = new InstalledCarItem(lstInstalled);
        row->setText(Id, car.id);
        row->setData(Id, kFilterRow, filterRow);
        row->setData(Id, kParked, parked);
        row->setText(Name, car.name);
        row->setText(Place, parked ? kParkedText : kInGame);
        row->setText(Serial, car.invalidArchive ? QString() : QString::number(car.serial));
        row->setData(Serial, Qt::UserRole, car.invalidArchive ? -1 : int(car.serial));
        row->setText(Remarks, remarks(car));
        m_filter.setRow(filterRow, {car.name, car.id});
        row->setHidden(!m_filter.shows(filterRow));
        row->setSelected(!row->isHidden() && selected.contains(car.id));
        if (car.id == current)
            lstInstalled->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
    };
    for (const InstalledCar& car : InstalledCarList::scan(*m_ctx.session)) {
        add(car, false);
        ++inGame;
    }
    // A parked car's serial number may be shared with a car in the game: it is renumbered when
    // it returns, so it is no remark here.
    for (const InstalledCar& car : Garage(*m_ctx.session).parkedCars())
        add(car, true);
    lstInstalled->setSortingEnabled(true);
    lblCount->setText(countText(inGame));
    refreshSets();
    // The session's tables follow the game, for the serial checks of the next install.
    ScanCarSerials(*m_ctx.session);
    updateButtons();
}

void frmInstalled::setFilterText(const QString& text) {
    if (txtFind->text() != text) {
        txtFind->setText(text); // comes back here through textChanged
        return;
    }
    m_filter.setText(text);
    for (int i = 0; i < lstInstalled->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = lstInstalled->topLevelItem(i);
        const bool hide = !m_filter.shows(row->data(Id, kFilterRow).toInt());
        row->setHidden(hide);
        if (hide)
            row->setSelected(false); // nothing out of sight is removed or moved
    }
    updateButtons();
}

void frmInstalled::refreshSets() {
    const QString chosen = lstSets->currentItem() ? lstSets->currentItem()->text() : QString();
    lstSets->clear();
    for (const CarSets::Set& set : CarSets(m_ctx.session->GamePath).list()) {
        auto* item = new QListWidgetItem(set.name, lstSets);
        item->setToolTip(QStringLiteral("%1 cars: %2")
                             .arg(set.cars.size())
                             .arg(set.cars.join(QStringLiteral(", "))));
        if (set.name.compare(chosen, Qt::CaseInsensitive) == 0)
            lstSets->setCurrentItem(item);
    }
}

QStringList frmInstalled::selectedIds() const {
    QStringList ids;
    for (int i = 0; i < lstInstalled->topLevelItemCount(); ++i)
        if (const QTreeWidgetItem* row = lstInstalled->topLevelItem(i);
            row->isSelected() && !row->isHidden())
            ids.append(row->text(Id));
    return ids;
}

int frmInstalled::selectedParked() const {
    int n = 0;
    for (int i = 0; i < lstInstalled->topLevelItemCount(); ++i)
        if (const QTreeWidgetItem* row = lstInstalled->topLevelItem(i);
            row->isSelected() && !row->isHidden() && row->data(Id, kParked).toBool())
            ++n;
    return n;
}

void frmInstalled::updateButtons() {
    const qsizetype n = selectedIds().size();
    const int parked = selectedParked();
    cmdRemove->setEnabled(n > 0);
    cmdOpen->setEnabled(n == 1);
    // Park for cars in the game, Return for parked ones; not both at once.
    cmdPark->setText(n > 0 && parked == n ? QStringLiteral("Return") : QStringLiteral("Park"));
    cmdPark->setEnabled(n > 0 && (parked == 0 || parked == n));
    const bool setChosen = lstSets->currentItem() && lstSets->currentItem()->isSelected();
    cmdUseSet->setEnabled(setChosen);
    cmdDeleteSet->setEnabled(setChosen);
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
    Garage garage(*m_ctx.session);
    for (const QString& id : ids) {
        QString why;
        const bool removed = garage.parkedName(id).isEmpty()
                                 ? CarRemoval::removeCar(*m_ctx.session, id, &why)
                                 : garage.removeParked(id, &why);
        if (!removed)
            failures.append(QStringLiteral("%1 could not be removed: %2").arg(id, why));
    }
    refresh();
    if (!failures.isEmpty())
        m_ctx.prompts->show(failures.join(QStringLiteral("\r\n")), kTitle, kRefused);
}

void frmInstalled::parkOrReturn() {
    const QStringList ids = selectedIds();
    const int parked = selectedParked();
    if (ids.isEmpty() || (parked != 0 && parked != ids.size()))
        return;
    Garage garage(*m_ctx.session);
    const Garage::Result result = parked == 0 ? garage.park(ids) : garage.unpark(ids);
    refresh();
    report(result.ok, result.error, result.warnings);
}

void frmInstalled::report(bool ok, const QString& error, const QStringList& warnings) {
    if (!ok)
        m_ctx.prompts->show(error, kTitle, kRefused);
    else if (!warnings.isEmpty())
        m_ctx.prompts->show(warnings.join(QStringLiteral("\r\n")), kTitle, kNotice);
}

void frmInstalled::saveSet() {
    const QStringList cars = InstalledCarIds(*m_ctx.session);
    const QString proposed = lstSets->currentItem() ? lstSets->currentItem()->text() : QString();
    const QString name = askText(
        QStringLiteral("Save Set"),
        QStringLiteral("A name for the set of the %1 cars in the game now:").arg(cars.size()),
        proposed);
    if (name.isEmpty())
        return;
    if (const QString why = CarSets::nameRefusal(name); !why.isEmpty()) {
        m_ctx.prompts->show(why, kTitle, kRefused);
        return;
    }
    CarSets sets(m_ctx.session->GamePath);
    CarSets::Set existing;
    if (sets.find(name, existing)) {
        const auto answer = m_ctx.prompts->show(
            QStringLiteral("Replace the set \"%1\" (%2 cars) with the %3 cars in the game now?")
                .arg(existing.name)
                .arg(existing.cars.size())
                .arg(cars.size()),
            QStringLiteral("Save Set"), kQuestion);
        if (m_ctx.programEnd->ended() || answer != MessageBoxService::Yes)
            return;
    }
    QString why;
    if (!sets.save(name, cars, &why)) {
        m_ctx.prompts->show(why, kTitle, kRefused);
        return;
    }
    refreshSets();
    const QList<QListWidgetItem*> saved = lstSets->findItems(name, Qt::MatchFixedString);
    if (!saved.isEmpty())
        lstSets->setCurrentItem(saved.first());
    updateButtons();
}

void frmInstalled::useSet() {
    if (!lstSets->currentItem())
        return;
    CarSets::Set set;
    if (!CarSets(m_ctx.session->GamePath).find(lstSets->currentItem()->text(), set)) {
        refresh();
        return;
    }
    const Garage::Result result = Garage(*m_ctx.session).switchTo(set.cars);
    refresh();
    report(result.ok, result.error, result.warnings);
}

void frmInstalled::deleteSet() {
    if (!lstSets->currentItem())
        return;
    const QString name = lstSets->currentItem()->text();
    const auto answer = m_ctx.prompts->show(
        QStringLiteral("Delete the set \"%1\"? Its cars stay where they are.").arg(name),
        QStringLiteral("Delete Set"), kQuestionNoDefault);
    if (m_ctx.programEnd->ended() || answer != MessageBoxService::Yes)
        return;
    QString why;
    if (!CarSets(m_ctx.session->GamePath).remove(name, &why))
        m_ctx.prompts->show(why, kTitle, kRefused);
    refreshSets();
    updateButtons();
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
    QString folder;
    if (!name.isEmpty())
        folder = GameFs::resolve(m_ctx.session->GamePath, QStringLiteral("Data/Cars/") + name);
    else if (!Garage(*m_ctx.session).parkedName(ids.first()).isEmpty())
        folder =
            QFileInfo(Garage::archivePath(m_ctx.session->GamePath, ids.first())).absolutePath();
    if (!folder.isEmpty() && !m_ctx.actions->openFolder(folder))
        m_ctx.prompts->show(noFileManager(folder), kTitle, kRefused);
    refresh();
}

bool frmInstalled::eventFilter(QObject* watched, QEvent* e) {
    if (watched == txtFind && e->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(e)->key()) {
        case Qt::Key_Escape:
            if (txtFind->text().isEmpty())
                break; // an empty field: Escape closes the window as anywhere else
            txtFind->clear();
            return true;
        case Qt::Key_Down:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            lstInstalled->setFocus(Qt::TabFocusReason); // on to the rows found
            return true;
        default:
            break;
        }
    }
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
