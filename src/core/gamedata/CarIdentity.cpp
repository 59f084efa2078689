#include "core/gamedata/CarIdentity.h"

#include "core/gamedata/Viv.h"
#include "platform/AnsiText.h"
#include "platform/GameFs.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <zip.h>

namespace {

constexpr qsizetype kCarIdOffset = 274;
constexpr qsizetype kCarIdLength = 4;
// A car archive bigger than this is not looked at inside a ZIP.
constexpr zip_uint64_t kMaxZippedArchive = 256ull << 20;

// The entry as it is whatever serial number and car id an install wrote into it.
QByteArray masked(const QString& name, QByteArray data) {
    if (GameFs::wildcardMatch(name, QStringLiteral("fedata.*"))) {
        // An install grows a shorter entry with zero bytes up to the serial's place.
        if (data.size() <= kVivSerialOffset)
            data.resize(kVivSerialOffset + 1, '\0');
        data.replace(kCarIdOffset, kCarIdLength, QByteArray(kCarIdLength, '\0'));
        data[kVivSerialOffset] = '\0';
        return data;
    }
    if (GameFs::wildcardMatch(name, QStringLiteral("carp*.txt"))) {
        const QStringList lines = AnsiText::splitLines(data);
        QByteArray out;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            out += AnsiText::encode(lines[i]) + '\n';
            if (lines[i].endsWith(QLatin1String("(0)")))
                ++i; // the serial's line
        }
        return out;
    }
    return data;
}

QString hexOf(QCryptographicHash& hash) {
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace

namespace CarIdentity {

QString ofArchive(const QString& vivPath, QString* error) {
    QList<std::pair<QString, QByteArray>> entries;
    if (!ForEachVivEntry(
            vivPath,
            [&entries](const QString& name, const QByteArray& data) {
                entries.append({name, masked(name, data)});
            },
            error))
        return {};
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return GameFs::nameLess(a.first, b.first);
    });
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const auto& [name, data] : std::as_const(entries)) {
        const QByteArray key = name.toUpper().toUtf8();
        hash.addData(QByteArray::number(key.size()) + ':' + key);
        hash.addData(QByteArray::number(data.size()) + ':');
        hash.addData(data);
    }
    return hexOf(hash);
}

QString ofArchiveBytes(const QByteArray& viv) {
    QTemporaryFile file;
    if (!file.open() || file.write(viv) != viv.size() || !file.flush())
        return {};
    return ofArchive(file.fileName());
}

QString ofZip(const QString& zipPath) {
    int err = 0;
    zip_t* zip = zip_open(QFile::encodeName(zipPath).constData(), ZIP_RDONLY, &err);
    if (!zip)
        return {};
    QByteArray viv;
    int found = 0;
    const zip_int64_t n = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        if (zip_stat_index(zip, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME) ||
            !(st.valid & ZIP_STAT_SIZE))
            continue;
        const QString name = QString::fromUtf8(st.name).replace(u'\\', u'/');
        if (name.section(u'/', -1).compare(QLatin1String("CAR.VIV"), Qt::CaseInsensitive) != 0)
            continue;
        if (++found > 1 || st.size > kMaxZippedArchive)
            break;
        zip_file_t* file = zip_fopen_index(zip, zip_uint64_t(i), 0);
        if (!file)
            break;
        viv = QByteArray(qsizetype(st.size), Qt::Uninitialized);
        const zip_int64_t got = zip_fread(file, viv.data(), st.size);
        zip_fclose(file);
        if (got != zip_int64_t(st.size))
            viv.clear();
    }
    zip_close(zip);
    if (found != 1 || viv.isEmpty())
        return {};
    return ofArchiveBytes(viv);
}

QString sha256OfFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || QFileInfo(path).isDir())
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hexOf(hash);
}

} // namespace CarIdentity
