#include "gui/Startup.h"

#include "core/gamedata/CarSerials.h"
#include "core/gamedata/Garage.h"
#include "core/gamedata/InstallStaging.h"
#include "core/session/AppContext.h"
#include "core/session/AppSettings.h"
#include "core/session/ClearFolder.h"
#include "core/session/CommandLine.h"
#include "core/session/GameFolder.h"
#include "core/session/ProgramInfo.h"
#include "core/session/RunOnceEntry.h"
#include "core/session/Session.h"
#include "core/session/StartupMessages.h"
#include "core/session/StartupPaths.h"
#include "core/session/WorkFolder.h"
#include "gui/CheckConnection.h"
#include "gui/FileChoosers.h"
#include "gui/InstallFromFiles.h"
#include "gui/frmInstalled.h"
#include "gui/frmLog.h"
#include "gui/frmSerial.h"
#include "gui/frmSplash.h"
#include "platform/AnsiText.h"
#include "platform/MessageBoxService.h"
#include "platform/ProgramEnd.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>

namespace {
constexpr int kCritical = 16;
const QString kCrLf = QStringLiteral("\r\n");
} // namespace

Startup::Startup(AppContext& ctx) : m_ctx(ctx) {}

Startup::~Startup() = default;

QString Startup::showLogHeading() {
    return QStringLiteral("This log is shown now, due to the fact that you asked your computer to "
                          "be shutdown after the downloading & installation of NFSHS cars.");
}

bool Startup::refuseWorkFolder(const QString& message) {
    if (message.isEmpty())
        return false;
    m_ctx.prompts->show(message, QStringLiteral("Kavro"), kCritical);
    m_ctx.programEnd->EndProgram();
    return true;
}

QStringList Startup::undoUnfinishedInstalls(const QString& game) {
    // Only while no other copy holds the work folder: an install of that copy may be under way.
    std::unique_ptr<WorkFolder> probe;
    if (!m_workFolder->holdsLock()) {
        probe = std::make_unique<WorkFolder>(m_ctx.session->workDir());
        if (!probe->lock())
            return {};
    }
    QStringList lines = InstallStaging::undoUnfinished(game);
    lines += Garage::recover(game); // a park, return or set switch that never finished
    for (QString& l : lines) {
        l[0] = l[0].toUpper();
        l += u'.';
        qWarning().noquote() << QStringLiteral("kavro: ") + l;
    }
    return lines;
}

bool Startup::yield() {
    QCoreApplication::processEvents();
    return !m_ctx.programEnd->ended();
}

void Startup::run() {
    Session& session = *m_ctx.session;
    const CommandLine line(m_ctx.commandLine);

    // Started once by the entry a shutdown left behind: that entry has done its work (once the
    // log it is for has been shown, under "/SHOWLOG").
    if (line.has(CommandLine::kRunOnce) && !line.has(CommandLine::kShowLog))
        RunOnceEntry::remove(*m_ctx.settings);

    StartupPaths::setSessionPaths(session, line.has(CommandLine::kLocalHost));
    if (!line.has(CommandLine::kLocalHost)) {
        // A community's own catalogue, named in the store, replaces the built-in addresses.
        session.SessionPaths[Session::ServerListURL] = StartupPaths::serverListUrl(
            false, AppSettings::ReadAppSetting(m_ctx, QStringLiteral("serverlist")));
        session.SessionPaths[Session::AdsURL] =
            StartupPaths::adsUrl(false, AppSettings::ReadAppSetting(m_ctx, QStringLiteral("ads")));
    }
    if (!yield())
        return;

    m_workFolder = std::make_unique<WorkFolder>(session.workDir());

    if (line.has(CommandLine::kShowLog)) {
        // The log viewer writes nothing in the work folder: it never refuses over it. The
        // one-time start shows the copy kept when the shutdown was scheduled: the work folder may
        // have been emptied by the reboot.
        const bool runOnce = line.has(CommandLine::kRunOnce);
        const QString log = runOnce ? RunOnceEntry::logToShow(session.workDir())
                                    : session.workDir() + QStringLiteral("DOWNLOAD.LOG");
        QString text = showLogHeading() + kCrLf + kCrLf;
        QStringList lines;
        if (AnsiText::readLines(log, lines))
            for (const QString& l : lines)
                text += l + kCrLf;
        const QString game = AppSettings::ReadGameFolder(m_ctx);
        if (!game.isEmpty())
            for (const QString& undone : undoUnfinishedInstalls(game))
                text += kCrLf + undone + kCrLf;
        frmLog::showAndEnd(m_ctx, text, [this, runOnce] {
            if (!runOnce)
                return;
            QFile::remove(RunOnceEntry::keptLogPath());
            RunOnceEntry::remove(*m_ctx.settings);
        });
        return;
    }

    // A work folder that is a link or someone else's is neither read nor written (the fixer
    // writes nothing in it and holds only its lock).
    if (!line.has(CommandLine::kSerial) && refuseWorkFolder(m_workFolder->check()))
        return;

    QString looked;
    session.GamePath = AppSettings::ReadGameFolder(m_ctx, &looked);
    if (session.GamePath.isEmpty() && !askForGame()) {
        // For the user who started the program from a terminal: where the game was looked for.
        qWarning().noquote() << QStringLiteral("kavro: the game folder was not found; looked at ") +
                                    looked;
        m_ctx.prompts->show(StartupMessages::kGameMissing, StartupMessages::kGameMissingTitle,
                            kCritical);
        m_ctx.programEnd->EndProgram();
        return;
    }
    if (!session.GamePath.endsWith(u'/'))
        session.GamePath += u'/';

    const QString command = AppSettings::ReadWinZipCommand(m_ctx);
    if (command.isEmpty()) {
        m_ctx.prompts->show(StartupMessages::winZipMissing(), StartupMessages::kWinZipMissingTitle,
                            kCritical);
        m_ctx.programEnd->EndProgram();
        return;
    }
    session.WinZipPath = AppSettings::WinZipProgram(command);

    if (line.has(CommandLine::kSerial)) {
        undoUnfinishedInstalls(session.GamePath);
        auto* fixer = new frmSerial(m_ctx);
        fixer->show();
        return;
    }

    if (!m_ctx.zipFiles.isEmpty() || line.has(CommandLine::kCars)) {
        ownCarsRoad(m_ctx.zipFiles.isEmpty());
        return;
    }

    if (!holdWorkFolder())
        return;

    const bool skipIntro = line.has(CommandLine::kSkipIntro);
    if (!skipIntro) {
        m_splash = new frmSplash(m_ctx);
        m_splash->cmdOK->setEnabled(false);
        m_splash->show();
    }

    const QString workDir = session.workDir();
    ClearFolder(workDir, true);
    if (refuseWorkFolder(m_workFolder->make()))
        return;
    QDir().mkdir(workDir + QStringLiteral("VIVTMP"));

    AppSettings::RecordStart(m_ctx);

    // From here on the program ends only when it is told to, not when its last window closes
    // (the windows hide one another as the user moves on).
    QApplication::setQuitOnLastWindowClosed(false);

    if (!yield())
        return;

    ScanCarSerials(session, *m_ctx.prompts);
    if (m_ctx.programEnd->ended())
        return;

    if (skipIntro)
        CheckConnection(m_ctx);
    else if (m_splash)
        m_splash->cmdOK->setEnabled(true);
}

bool Startup::askForGame() {
    const QString folder =
        FileChoosers::chooseFolder(m_ctx, nullptr, StartupMessages::kWhereIsTheGame);
    if (m_ctx.programEnd->ended() || folder.isEmpty() || !GameFolder::holdsGame(folder))
        return false;
    AppSettings::WriteGameFolder(m_ctx, folder);
    m_ctx.session->GamePath = QDir(folder).absolutePath();
    return true;
}

bool Startup::holdWorkFolder() {
    // A copy that runs holds the work folder: this one must not empty it under that one.
    if (QString held; !m_workFolder->lock(&held)) {
        refuseWorkFolder(held);
        return false;
    }
    // However the program ends, the next start finds the work folder free.
    QObject::connect(m_ctx.programEnd, &ProgramEnd::programEnded, m_ctx.programEnd,
                     [folder = m_workFolder.get()] { folder->unlock(); });
    undoUnfinishedInstalls(m_ctx.session->GamePath);
    return true;
}

void Startup::ownCarsRoad(bool installedCars) {
    // Cars go into the game and the work folder is written: as in a normal start, no other
    // running copy may be doing the same.
    if (!holdWorkFolder())
        return;
    if (!installedCars)
        ClearFolder(m_ctx.session->workDir(), true);
    if (refuseWorkFolder(m_workFolder->make()))
        return;
    QApplication::setQuitOnLastWindowClosed(false);

    if (!installedCars) {
        InstallFromFiles::install(m_ctx, nullptr, m_ctx.zipFiles);
        return;
    }
    auto* window = new frmInstalled(m_ctx);
    window->setAttribute(Qt::WA_DeleteOnClose);
    ProgramEnd* end = m_ctx.programEnd;
    QObject::connect(window, &QDialog::finished, window, [end] {
        if (!end->ended())
            end->EndProgram();
    });
    window->show();
}
