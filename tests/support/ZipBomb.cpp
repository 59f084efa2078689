#include "ZipBomb.h"

#include <QFile>
#include <QtEndian>
#include <vector>
#include <zip.h>

namespace ZipBomb {

namespace {

// Overwrites the 32-bit unpacked size of the first local header and of the first central one.
bool announce(const QString& path, quint32 size) {
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || f.size() < 22)
        return false;
    const QByteArray local = f.read(30);
    if (!local.startsWith("PK\x03\x04"))
        return false;
    f.seek(f.size() - 22);
    const QByteArray end = f.read(22);
    if (!end.startsWith("PK\x05\x06"))
        return false;
    const qint64 central = qFromLittleEndian<quint32>(end.constData() + 16);
    f.seek(central);
    if (!f.read(4).startsWith("PK\x01\x02"))
        return false;
    uchar le[4];
    qToLittleEndian(size, le);
    const auto raw = reinterpret_cast<const char*>(le);
    return f.seek(22) && f.write(raw, 4) == 4 && f.seek(central + 24) && f.write(raw, 4) == 4;
}

} // namespace

bool write(const QString& path, const QByteArray& name, qint64 bytes, qint64 announcedSize) {
    static const QByteArray zeros(1 << 20, '\0');
    std::vector<zip_buffer_fragment_t> fragments;
    for (qint64 left = bytes; left > 0; left -= zeros.size())
        fragments.push_back({reinterpret_cast<zip_uint8_t*>(const_cast<char*>(zeros.constData())),
                             zip_uint64_t(qMin<qint64>(left, zeros.size()))});
    QFile::remove(path);
    int err = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!za)
        return false;
    zip_source_t* src = zip_source_buffer_fragment(za, fragments.data(), fragments.size(), 0);
    const zip_int64_t index = src ? zip_file_add(za, name.constData(), src, 0) : -1;
    if (index < 0) {
        if (src)
            zip_source_free(src);
        zip_discard(za);
        return false;
    }
    zip_set_file_compression(za, zip_uint64_t(index), ZIP_CM_DEFLATE, 1);
    if (zip_close(za) != 0) {
        zip_discard(za);
        return false;
    }
    return announcedSize < 0 || announce(path, quint32(announcedSize));
}

} // namespace ZipBomb
