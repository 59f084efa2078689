#include "platform/DiskSync.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace {

bool syncPath(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

} // namespace

namespace DiskSync {

bool file(const QString& path) {
    return syncPath(path, O_RDONLY | O_NOFOLLOW);
}

bool folder(const QString& path) {
    return syncPath(path, O_RDONLY | O_DIRECTORY);
}

} // namespace DiskSync
