#include "platform/DesktopActions.h"

#include "platform/NetworkPolicy.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

bool underTestRunner() {
    return qEnvironmentVariableIsSet("KAVRO_TEST");
}

bool runAndWait(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForStarted(5000) || !process.waitForFinished(30000))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

bool DesktopActions::runShellCommand(const QString& commandLine) {
    return runAndWait(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine});
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

bool DesktopActions::powerOff() {
    const QString command = qEnvironmentVariable("KAVRO_SHUTDOWN_COMMAND");
    if (!command.isEmpty())
        return runShellCommand(command);
    if (underTestRunner())
        return true;
    QDBusInterface logind(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QDBusConnection::systemBus());
    if (!logind.isValid())
        return false;
    // Refused by polkit (another user logged in, a remote session) comes back as an error.
    return logind.call(QStringLiteral("PowerOff"), false).type() != QDBusMessage::ErrorMessage;
}

void DesktopActions::openUrl(const QString& url) {
    // Only a web address goes to the desktop's opener: a file:, a .desktop file or a path would
    // be opened (or run) by it just the same.
    const QUrl address(url, QUrl::TolerantMode);
    if (!NetworkPolicy::allows(address))
        return;
    QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromLatin1(address.toEncoded())});
}

bool DesktopActions::openFolder(const QString& path) {
    if (!QFileInfo(path).isDir())
        return true; // nothing to show: the window's list is refreshed instead
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return !opener.isEmpty() &&
           QProcess::startDetached(
               opener, {QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString()});
}
