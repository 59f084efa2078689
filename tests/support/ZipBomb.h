#pragma once

#include <QByteArray>
#include <QString>

// A ZIP whose single entry unpacks to far more than the ZIP's own size: `bytes` zero bytes,
// deflated at level 1 (about 1/230 of that on disk; 600 MiB take about a second to build). With
// announcedSize >= 0 the local and central headers claim that unpacked size instead: a directory
// that lies about what its data inflates to.
namespace ZipBomb {

bool write(const QString& path, const QByteArray& name, qint64 bytes, qint64 announcedSize = -1);

} // namespace ZipBomb
