#include "core/session/WorkFolder.h"

#include "platform/KernelLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kCarsCommandName = QStringLiteral("kavro-cars");

QString quoted(const QString& path) {
    return u'"' + QDir::toNativeSeparators(path) + u'"';
}

} // namespace

WorkFolder::WorkFolder(const QString& path) : m_path(QDir::cleanPath(path)) {}

WorkFolder::~WorkFolder() = default;

QString WorkFolder::check() const {
    struct stat st = {};
    if (::lstat(QFile::encodeName(m_path).constData(), &st) != 0) {
        if (errno == ENOENT)
            return {};
        return QStringLiteral("The work folder %1 cannot be read (%2). Please check it and start "
                              "Kavro again.")
            .arg(quoted(m_path), QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (S_ISLNK(st.st_mode))
        return QStringLiteral("The work folder %1 is a symbolic link. Kavro does not use a work "
                              "folder that leads elsewhere: please remove the link and start "
                              "Kavro again.")
            .arg(quoted(m_path));
    if (!S_ISDIR(st.st_mode))
        return QStringLiteral("The work folder %1 is not a folder. Please remove the file of that "
                              "name and start Kavro again.")
            .arg(quoted(m_path));
    if (st.st_uid != ::geteuid())
        return QStringLiteral("The work folder %1 belongs to another user. Kavro does not use a "
                              "work folder that others control: please remove it, or set TEMP to "
                              "a folder of your own, and start Kavro again.")
            .arg(quoted(m_path));
    return {};
}

QString WorkFolder::make() const {
    const QByteArray native = QFile::encodeName(m_path);
    QDir().mkpath(QFileInfo(m_path).path());
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return QStringLiteral("The work folder %1 cannot be created (%2). Please check the rights "
                              "of the folder it is in and start Kavro again.")
            .arg(quoted(m_path), QString::fromLocal8Bit(std::strerror(errno)));
    // Checked after the creation too: someone else may have made it first.
    if (QString why = check(); !why.isEmpty())
        return why;
    // Through a handle that does not follow links, so the rights change on what was checked.
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return check();
    struct stat st = {};
    if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() && (st.st_mode & 07777) != 0700)
        ::fchmod(fd, 0700);
    ::close(fd);
    return {};
}

bool WorkFolder::lock(QString* message) {
    auto lockFile = std::make_unique<KernelLock>(lockFilePath());
    QDir().mkpath(QFileInfo(m_path).path());
    const KernelLock::Result result = lockFile->tryLock();
    if (result == KernelLock::Result::Taken) {
        m_lock = std::move(lockFile);
        return true;
    }
    if (message) {
        const KernelLock::Holder holder = lockFile->holder();
        *message = result == KernelLock::Result::Held
                       ? heldMessage(QCoreApplication::applicationName(), holder.program,
                                     holder.pid, holder.host)
                       : QStringLiteral("The lock file %1 of the work folder cannot be created. "
                                        "Please check the rights of its folder and start Kavro "
                                        "again.")
                             .arg(quoted(lockFilePath()));
    }
    return false;
}

void WorkFolder::unlock() {
    m_lock.reset();
}

QString WorkFolder::heldMessage(const QString& thisApp, const QString& holderApp, qint64 pid,
                                const QString& host) {
    const bool byCommand = holderApp == kCarsCommandName;
    if (pid <= 0)
        return thisApp == kCarsCommandName
                   ? QStringLiteral("another Kavro program holds the work folder: wait until it "
                                    "has ended and run this command again")
                   : alreadyRunningMessage();
    const QString who = holderText(pid, host);
    if (thisApp == kCarsCommandName)
        return byCommand ? QStringLiteral("another kavro-cars command (%1) is changing the game's "
                                          "cars: wait until it has ended and run this one again")
                               .arg(who)
                         : QStringLiteral("Kavro is already running (%1) and holds the work "
                                          "folder: close its windows and run this command again")
                               .arg(who);
    if (byCommand)
        return QStringLiteral("A kavro-cars command (%1) is changing the game's cars. Please wait "
                              "until it has ended and start Kavro again.")
            .arg(who);
    return alreadyRunningMessage();
}

QString WorkFolder::holderText(qint64 pid, const QString& host) {
    QString who = QStringLiteral("process %1").arg(pid);
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        who += QStringLiteral(" on %1").arg(host);
    return who;
}

QString WorkFolder::lockFilePath() const {
    const QFileInfo info(m_path);
    return info.path() + u'/' + info.fileName() + QStringLiteral(".lock");
}

QString WorkFolder::alreadyRunningMessage() {
    return QStringLiteral("Kavro is already running. Only one copy can run at a time: please use "
                          "the one that is open, or close it and start Kavro again.");
}
