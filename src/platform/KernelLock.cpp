#include "platform/KernelLock.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QList>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

KernelLock::KernelLock(QString path) : m_path(std::move(path)) {}

KernelLock::~KernelLock() {
    unlock();
}

// Opens the lock file, creating it when missing. Never O_CREAT on a name that exists: the file
// another user made keeps its owner and mode; O_EXCL makes the creation race-free, and the
// loser of a race opens the winner's file. Without the right to write it (another user's file
// made before the mode was 0666, a read-only game folder) the file is opened for reading: flock
// needs no more, only the description is not written then.
int KernelLock::open() {
    const QByteArray native = QFile::encodeName(m_path);
    const int flags = O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(native.constData(), O_RDWR | flags);
        if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
            fd = ::open(native.constData(), O_RDONLY | flags);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(native.constData(), O_RDWR | O_CREAT | O_EXCL | flags, 0666);
            if (fd < 0 && errno == EEXIST)
                continue;
            if (fd >= 0)
                ::fchmod(fd, 0666); // whatever the umask took away
        }
        if (fd < 0) {
            m_error = errno == ELOOP ? QStringLiteral("it is a symbolic link") : systemError(errno);
            return -1;
        }
        struct stat st = {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            m_error = QStringLiteral("it is not a file");
            return -1;
        }
        return fd;
    }
    m_error = systemError(EEXIST);
    return -1;
}

KernelLock::Result KernelLock::tryLock(int waitMs) {
    if (m_fd >= 0)
        return Result::Taken;
    m_holder = {};
    m_error.clear();
    const QDeadlineTimer deadline(waitMs > 0 ? waitMs : 0);
    for (;;) {
        const int fd = open();
        if (fd < 0)
            return Result::Failed;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_fd = fd;
            // Ours now: the description replaces whatever an earlier holder left.
            const QByteArray text =
                describe(QCoreApplication::applicationPid(), QCoreApplication::applicationName(),
                         QSysInfo::machineHostName());
            if (::ftruncate(fd, 0) == 0)
                (void)!::pwrite(fd, text.constData(), size_t(text.size()), 0);
            return Result::Taken;
        }
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            ::close(fd);
            m_error = systemError(error);
            return Result::Failed;
        }
        if (deadline.hasExpired()) {
            readHolder(fd);
            ::close(fd);
            return Result::Held;
        }
        ::close(fd);
        QThread::msleep(50);
    }
}

void KernelLock::unlock() {
    if (m_fd < 0)
        return;
    // An empty description says nothing of a holder that has gone; the file itself stays.
    (void)!::ftruncate(m_fd, 0);
    ::close(m_fd); // lets the lock go
    m_fd = -1;
}

void KernelLock::readHolder(int fd) {
    char buffer[512];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
    m_holder = n > 0 ? parse(QByteArray(buffer, int(n))) : Holder{};
    if (!m_holder.known())
        return;
    // A holder that was killed leaves its description until the next holder writes over it:
    // trusted only while its process runs (on this machine; another's cannot be asked).
    if (m_holder.host.isEmpty() || m_holder.host == QSysInfo::machineHostName()) {
        if (::kill(pid_t(m_holder.pid), 0) != 0 && errno == ESRCH)
            m_holder = {};
    }
}

QByteArray KernelLock::describe(qint64 pid, const QString& program, const QString& host) {
    return QByteArray::number(pid) + '\n' + program.toUtf8() + '\n' + host.toUtf8() + '\n';
}

// Whole only with its three lines, each ended: a description caught half-written is unknown.
KernelLock::Holder KernelLock::parse(const QByteArray& text) {
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 4)
        return {};
    bool ok = false;
    const qint64 pid = lines.at(0).toLongLong(&ok);
    if (!ok || pid <= 0 || lines.at(1).isEmpty() || lines.at(1).size() > 64)
        return {};
    Holder holder;
    holder.pid = pid;
    holder.program = QString::fromUtf8(lines.at(1));
    holder.host = QString::fromUtf8(lines.at(2).left(255));
    return holder;
}
