#include "core/session/WorkFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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
    auto lockFile = std::make_unique<QLockFile>(lockFilePath());
    // Held for the whole run, however long: only a copy that is no longer running loses it.
    lockFile->setStaleLockTime(0);
    QDir().mkpath(QFileInfo(m_path).path());
    if (lockFile->tryLock(0)) {
        m_lock = std::move(lockFile);
        return true;
    }
    if (message)
        *message = lockFile->error() == QLockFile::LockFailedError
                       ? alreadyRunningMessage()
                       : QStringLiteral("The lock file %1 of the work folder cannot be created. "
                                        "Please check the rights of its folder and start Kavro "
                                        "again.")
                             .arg(quoted(lockFilePath()));
    return false;
}

QString WorkFolder::lockFilePath() const {
    const QFileInfo info(m_path);
    return info.path() + u'/' + info.fileName() + QStringLiteral(".lock");
}

QString WorkFolder::alreadyRunningMessage() {
    return QStringLiteral("Kavro is already running. Only one copy can run at a time: please use "
                          "the one that is open, or close it and start Kavro again.");
}
