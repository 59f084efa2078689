#include "ZipBuilder.h"

#include <QFile>
#include <zip.h>

ZipBuilder& ZipBuilder::add(const QByteArray& name, const QByteArray& bytes) {
    m_entries.append({name, bytes, false, m_stored});
    return *this;
}

ZipBuilder& ZipBuilder::addFolder(const QByteArray& name) {
    m_entries.append({name, {}, true, m_stored});
    return *this;
}

bool ZipBuilder::write(const QString& path, QString* error) const {
    auto failed = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    QFile::remove(path);
    int err = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!za)
        return failed(QStringLiteral("cannot create %1 (libzip error %2)").arg(path).arg(err));
    for (const Entry& e : m_entries) {
        zip_int64_t index = -1;
        if (e.folder) {
            index = zip_dir_add(za, e.name.constData(), ZIP_FL_ENC_GUESS);
        } else {
            // The bytes stay alive in m_entries until zip_close below has read them.
            zip_source_t* src =
                zip_source_buffer(za, e.bytes.constData(), zip_uint64_t(e.bytes.size()), 0);
            if (!src) {
                const QString why = QString::fromUtf8(zip_strerror(za));
                zip_discard(za);
                return failed(why);
            }
            index = zip_file_add(za, e.name.constData(), src, ZIP_FL_ENC_GUESS);
            if (index < 0)
                zip_source_free(src);
        }
        if (index < 0) {
            const QString why = QString::fromUtf8(zip_strerror(za));
            zip_discard(za);
            return failed(
                QStringLiteral("cannot add %1: %2").arg(QString::fromLatin1(e.name), why));
        }
        zip_set_file_compression(za, zip_uint64_t(index), e.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 0);
    }
    if (zip_close(za) != 0) {
        const QString why = QString::fromUtf8(zip_strerror(za));
        zip_discard(za);
        return failed(why);
    }
    return true;
}

QStringList ZipBuilder::names(const QString& zipPath) {
    QStringList out;
    int err = 0;
    zip_t* za = zip_open(QFile::encodeName(zipPath).constData(), ZIP_RDONLY, &err);
    if (!za)
        return out;
    const zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i)
        out.append(QString::fromLatin1(zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_RAW)));
    zip_discard(za);
    return out;
}
