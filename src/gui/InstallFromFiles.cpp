#include "gui/InstallFromFiles.h"

#include "core/browser/DownloadSelection.h"
#include "core/download/ZipInstallRun.h"
#include "core/gamedata/CarSerials.h"
#include "core/session/AppContext.h"
#include "core/session/CommandLine.h"
#include "core/session/InstanceChannel.h"
#include "core/session/Session.h"
#include "gui/DownloadForm.h"
#include "gui/FileChoosers.h"
#include "gui/frmInstalled.h"
#include "gui/frmLog.h"
#include "platform/MessageBoxService.h"
#include "platform/ProgramEnd.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int kRefused = 48;

} // namespace

namespace InstallFromFiles {

void addMenuItems(AppContext& ctx, QWidget* window, QMenu* menu, std::function<bool()> ready) {
    QAction* files = menu->addAction(kInstallItem);
    files->setObjectName(QStringLiteral("mnuFiles"));
    files->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    files->setShortcutContext(Qt::WindowShortcut);
    window->addAction(files); // the shortcut works while the menu is closed
    QAction* installed = menu->addAction(kInstalledItem);
    installed->setObjectName(QStringLiteral("mnuInstalled"));
    QObject::connect(files, &QAction::triggered, window, [&ctx, window, ready] {
        if (ready())
            chooseAndInstall(ctx, window);
    });
    QObject::connect(installed, &QAction::triggered, window, [&ctx, window, ready] {
        if (ready())
            showInstalledCars(ctx, window);
    });
}

void chooseAndInstall(AppContext& ctx, QWidget* window) {
    const QStringList zips = FileChoosers::chooseZips(ctx, window, kInstallItem.chopped(1));
    if (!zips.isEmpty())
        install(ctx, window, zips);
}

void install(AppContext& ctx, QWidget* cameFrom, const QStringList& zips) {
    Session& session = *ctx.session;
    const int installed = CountInstalledCars(session);
    if (DownloadSelection::exceedsLimit(int(zips.size()), installed)) {
        ctx.prompts->show(DownloadSelection::limitMessage(int(zips.size()), installed),
                          DownloadSelection::kLimitTitle, kRefused);
        if (!cameFrom && !ctx.programEnd->ended())
            ctx.programEnd->endWithStatus(1);
        return;
    }
    QList<ZipInstallRun::Car> cars;
    for (const QString& zip : zips)
        cars.append({zip, ZipInstallRun::defaultName(zip)});

    const QPointer<QWidget> back = cameFrom;
    if (cameFrom)
        cameFrom->hide();
    QString log;
    int notDone = 0;
    {
        DownloadForm form(ctx);
        log = form.InstallZips(cars, &notDone);
    }
    if (ctx.programEnd->ended())
        return;

    frmLog window;
    window.setLogText(log);
    if (back)
        window.cmdOK->setText(QStringLiteral("Close")); // the player goes back, Kavro goes on
    window.exec();
    if (ctx.programEnd->ended())
        return;
    if (!cameFrom && ctx.instance && ctx.instance->hasQueuedZips()) {
        // ZIPs another start handed over during this run: their run comes next.
        install(ctx, nullptr, ctx.instance->takeQueuedZips());
        return;
    }
    if (!cameFrom)
        ctx.programEnd->endWithStatus(notDone > 0 ? 1 : 0);
    else if (back)
        back->show();
}

void showInstalledCars(AppContext& ctx, QWidget* window) {
    frmInstalled installed(ctx, window);
    installed.exec();
}

void dragEnter(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls() || e->mimeData()->hasText())
        e->acceptProposedAction();
}

void drop(AppContext& ctx, QWidget* window, QDropEvent* e, std::function<bool()> ready) {
    QStringList zips;
    QString other;
    const QList<QUrl> urls = e->mimeData()->urls();
    for (const QUrl& url : urls) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
        if (CommandLine::isZipFile(path))
            zips.append(QFileInfo(path).absoluteFilePath());
        else if (other.isEmpty())
            other = url.isLocalFile() ? QFileInfo(path).fileName() : url.toDisplayString();
    }
    if (urls.isEmpty())
        other = QStringLiteral("what was dropped");
    e->acceptProposedAction();
    if (!ready())
        return;
    // The run starts once the drop is over, so that the file manager is not kept waiting.
    QTimer::singleShot(0, window, [&ctx, window, zips, other] {
        if (!other.isEmpty())
            ctx.prompts->show(dropRefusal(other), kDropTitle, kRefused);
        else
            install(ctx, window, zips);
    });
}

} // namespace InstallFromFiles
