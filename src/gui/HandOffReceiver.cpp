#include "gui/HandOffReceiver.h"

#include "core/session/AppContext.h"
#include "core/session/InstanceChannel.h"
#include "gui/CatalogueLink.h"
#include "gui/InstallFromFiles.h"
#include "platform/ProgramEnd.h"

#include <QApplication>
#include <QDebug>
#include <QWidget>

namespace {

// How often queued ZIPs look for the end of what keeps them waiting.
constexpr int kRetryMs = 500;

bool isPlainWindow(const QWidget* w) {
    const Qt::WindowType type = w->windowType();
    return w->isVisible() && (type == Qt::Window || type == Qt::Dialog);
}

} // namespace

HandOffReceiver::HandOffReceiver(AppContext& ctx, InstanceChannel& channel)
    : m_ctx(ctx), m_channel(channel) {
    m_retry.setInterval(kRetryMs);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &HandOffReceiver::installQueued);
    connect(&channel, &InstanceChannel::requested, this, &HandOffReceiver::take);
}

QWidget* HandOffReceiver::frontWindow() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow(); active && isPlainWindow(active))
        return active;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (isPlainWindow(w))
            return w;
    return nullptr;
}

void HandOffReceiver::take(const QStringList& zips, const QStringList& links) {
    if (m_ctx.programEnd->ended())
        return;
    if (QWidget* window = frontWindow()) {
        if (window->isMinimized())
            window->showNormal();
        window->raise();
        window->activateWindow();
        qWarning().noquote()
            << QStringLiteral("kavro: another start brought %1 forward").arg(window->objectName());
    }
    if (!zips.isEmpty()) {
        qWarning().noquote() << QStringLiteral("kavro: another start handed over %1 car ZIP(s): %2")
                                    .arg(zips.size())
                                    .arg(zips.join(QStringLiteral(", ")));
        m_channel.queueZips(zips);
        QTimer::singleShot(0, this, &HandOffReceiver::installQueued);
    }
    for (const QString& link : links) {
        qWarning().noquote()
            << QStringLiteral("kavro: another start handed over the link %1").arg(link);
        // Taken once this hand-over is answered: the link road asks the player.
        QTimer::singleShot(0, this, [this, link] {
            if (!m_ctx.programEnd->ended())
                CatalogueLink::offer(m_ctx, link, frontWindow());
        });
    }
}

bool HandOffReceiver::busy() const {
    if (m_installing || QApplication::activeModalWidget())
        return true;
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == QLatin1String("DownloadForm"))
            return true;
    return frontWindow() == nullptr;
}

void HandOffReceiver::installQueued() {
    if (m_ctx.programEnd->ended() || !m_channel.hasQueuedZips())
        return;
    if (busy()) {
        // The run in progress takes them at its end (see InstallFromFiles and frmLog); a box or
        // the start-up keeps them waiting only a while.
        m_retry.start();
        return;
    }
    m_installing = true;
    InstallFromFiles::install(m_ctx, frontWindow(), m_channel.takeQueuedZips());
    m_installing = false;
    if (m_channel.hasQueuedZips())
        m_retry.start();
}
