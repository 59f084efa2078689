#include "platform/DesktopActions.h"

#include "platform/NetworkPolicy.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

bool underTestRunner() {
    return qEnvironmentVariableIsSet("KAVRO_TEST");
}

void runAndWait(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (process.waitForStarted(5000))
        process.waitForFinished(30000);
}

} // namespace

void DesktopActions::runShellCommand(const QString& commandLine) {
    runAndWait(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine});
}

QString DesktopActions::findPoff() {
    QString poff = QStandardPaths::findExecutable(QStringLiteral("poff"));
    if (poff.isEmpty())
        poff = QStandardPaths::findExecutable(QStringLiteral("poff"),
                                              {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                               QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
    return poff;
}

void DesktopActions::hangUp() {
    const QString command = qEnvironmentVariable("KAVRO_HANGUP_COMMAND");
    if (!command.isEmpty()) {
        runShellCommand(command);
        return;
    }
    if (underTestRunner())
        return;
    const QString poff = findPoff();
    if (!poff.isEmpty())
        runAndWait(poff, {QStringLiteral("-a")});
}

void DesktopActions::powerOff() {
    const QString command = qEnvironmentVariable("KAVRO_SHUTDOWN_COMMAND");
    if (!command.isEmpty()) {
        runShellCommand(command);
        return;
    }
    if (underTestRunner())
        return;
    QDBusInterface logind(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QDBusConnection::systemBus());
    if (logind.isValid())
        logind.call(QStringLiteral("PowerOff"), false);
}

void DesktopActions::openUrl(const QString& url) {
    // Only a web address goes to the desktop's opener: a file:, a .desktop file or a path would
    // be opened (or run) by it just the same.
    const QUrl address(url, QUrl::TolerantMode);
    if (!NetworkPolicy::allows(address))
        return;
    QProcess::startDetached(QStringLiteral("xdg-open"),
                            {QString::fromLatin1(address.toEncoded())});
}
