#include "core/download/DownloadRun.h"

#include "core/download/DownloadDisplay.h"
#include "core/download/DownloadLogText.h"
#include "core/download/DownloadWindowState.h"
#include "core/gamedata/CarInstaller.h"
#include "core/gamedata/CarSerials.h"
#include "core/session/AppContext.h"
#include "core/session/Session.h"
#include "platform/MessageBoxService.h"
#include "platform/ProgramEnd.h"

namespace {

const QString kNone = QStringLiteral("(none)");

QString carZip(const Session& session, qint16 n) {
    return session.workDir() + QStringLiteral("CAR") + QString::number(n) + QStringLiteral(".ZIP");
}

} // namespace

DownloadRun::Steps DownloadRun::carSteps(AppContext& ctx,
                                         std::function<void(const QString&)> onStatus) {
    Steps steps;
    steps.install = [&ctx, onStatus](qint16 n, const QString& name, QString& errorText,
                                     QString& downloadLog) {
        CarInstaller installer(*ctx.session, *ctx.programEnd);
        installer.onStatus = onStatus;
        installer.origin.catalogue = ctx.session->CatalogueSite;
        installer.origin.entry = name;
        installer.InstallCar(n, name, errorText, downloadLog);
    };
    steps.scan = [&ctx] { return ScanCarSerials(*ctx.session); };
    return steps;
}

DownloadRun::DownloadRun(AppContext& ctx, HttpTransfer& inet, DownloadDisplay& display,
                         DownloadWindowState& state, Steps steps)
    : m_ctx(ctx), m_display(display), m_state(state), m_steps(std::move(steps)),
      m_downloader(ctx, inet, display, state) {}

bool DownloadRun::ended() const {
    return m_ctx.programEnd->ended();
}

bool DownloadRun::run(const QStringList& names, const QStringList& urls) {
    for (qint16 n = 1; n <= names.size(); ++n) {
        const QString& name = names.at(n - 1);
        beginCar(n, name);
        downloadFile(urls.value(n - 1), carZip(*m_ctx.session, n));
        if (ended())
            return false;
        if (!finishCar(n, name, m_downloader.resumedTries()))
            return false;
    }
    writeLog();
    return true;
}

bool DownloadRun::downloadFile(const QString& url, const QString& destination,
                               const QString& userName, const QString& password) {
    return m_downloader.DownloadFile(url, destination, userName, password);
}

void DownloadRun::beginCar(qint16 n, const QString& name) {
    m_state.ErrorText.clear();
    m_state.CurrentItem = n;
    m_display.showCar(n);
    m_state.DownloadLog += DownloadLogText::header(name, DownloadLogText::stamp(*m_ctx.clock));
}

bool DownloadRun::finishCar(qint16 n, const QString& name, int resumedTries) {
    m_state.DownloadLog += DownloadLogText::endLine(DownloadLogText::stamp(*m_ctx.clock));
    if (resumedTries > 0)
        m_state.DownloadLog += Downloader::resumedLine(resumedTries) + QStringLiteral("\r\n");
    if (m_state.ErrorText.isEmpty()) {
        if (m_steps.install)
            m_steps.install(n, name, m_state.ErrorText, m_state.DownloadLog);
        if (ended())
            return false;
    }
    // No box may stop a run that nobody watches: what the rescan finds wrong with an installed
    // car goes into the log, once a run, on a line of its own after the block of the car whose
    // rescan first found it (it is no error of this car).
    const QStringList notices = m_steps.scan ? m_steps.scan() : QStringList();
    if (ended())
        return false;
    if (m_state.ErrorText.isEmpty())
        m_state.ErrorText = kNone;
    m_state.DownloadLog += DownloadLogText::errorsLine(m_state.ErrorText);
    for (const QString& notice : notices) {
        if (m_noticesLogged.contains(notice))
            continue;
        m_noticesLogged.append(notice);
        m_state.DownloadLog += notice + QStringLiteral("\r\n\r\n");
    }
    return true;
}

QString DownloadRun::installDownloadedCar(qint16 n, const QString& name) {
    beginCar(n, name);
    finishCar(n, name);
    return m_state.ErrorText == kNone ? QString() : m_state.ErrorText;
}

bool DownloadRun::askCancel() {
    if (m_state.TransferEnded)
        m_state.CancelRequested = true;
    else if (m_ctx.prompts->show(QStringLiteral("Are you sure you want to cancel downloading? "
                                                "(this will also cancel all remaining files)"),
                                 QStringLiteral("Cancel"), 36) == MessageBoxService::Yes)
        m_state.CancelRequested = true;
    return m_state.CancelRequested;
}

void DownloadRun::logCancel() {
    m_state.DownloadLog += DownloadLogText::cancelLines(DownloadLogText::stamp(*m_ctx.clock));
}

bool DownloadRun::writeLog() const {
    return DownloadLogText::writeLogFile(m_ctx.session->workDir() + QStringLiteral("DOWNLOAD.LOG"),
                                         m_state.DownloadLog);
}
