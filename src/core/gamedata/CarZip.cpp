#include "core/gamedata/CarZip.h"

#include "core/gamedata/CarFolder.h"
#include "core/gamedata/SerialConflicts.h"
#include "core/gamedata/Unzip.h"
#include "core/session/AppSettings.h"
#include "core/session/Session.h"
#include "platform/GameFs.h"

#include <QFile>
#include <QProcess>

#include <zip.h>

namespace CarZip {

QString extractorCommand(const QString& programFolder) {
    return u'"' + AppSettings::extractorPath(programFolder) + u'"';
}

std::unique_ptr<QProcess> startUnpack(const QString& extractorCommand, const QString& zipPath,
                                      const QString& folder, QString* why) {
    return UNZIP(extractorCommand, zipPath, folder, why);
}

QString judge(QProcess& finished, const QString& folder, QString* carFolder) {
    if (finished.state() != QProcess::NotRunning)
        return QStringLiteral("the extractor did not finish");
    if (finished.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("the extractor stopped unexpectedly");
    if (finished.exitCode() != 0) {
        const QString said = QString::fromLocal8Bit(finished.readAllStandardError()).simplified();
        return said.isEmpty() ? QStringLiteral("the extractor ended with exit code %1")
                                    .arg(finished.exitCode())
                              : said;
    }
    QString source;
    QString reason;
    if (!findCarFolder(folder, source, reason))
        return reason;
    // The archive takes the serial number and the car id as an install writes them.
    Session noCars;
    const QString viv =
        GameFs::withSlash(source) + GameFs::findEntry(source, QStringLiteral("CAR.VIV"));
    const SerialCheckResult written = CheckSerialConflit(noCars, viv, QStringLiteral("KAVR"));
    if (!written.ok)
        return written.error.isEmpty() ? kInvalidNewArchiveError : written.error;
    if (carFolder)
        *carFolder = source;
    return {};
}

QString check(const QString& extractorCommand, const QString& zipPath, const QString& folder,
              QString* carFolder, int timeoutMs) {
    QString why;
    const std::unique_ptr<QProcess> extractor =
        startUnpack(extractorCommand, zipPath, folder, &why);
    if (!extractor)
        return why;
    if (!extractor->waitForFinished(timeoutMs)) {
        extractor->terminate();
        if (!extractor->waitForFinished(2000))
            extractor->kill();
        extractor->waitForFinished(2000);
        return QStringLiteral("the extractor did not finish within %1 seconds")
            .arg(timeoutMs / 1000.0);
    }
    return judge(*extractor, folder, carFolder);
}

QByteArray firstFile(const QString& zipPath, qint64 maxBytes,
                     const std::function<bool(const QByteArray&)>& accept) {
    int err = 0;
    zip_t* zip = zip_open(QFile::encodeName(zipPath).constData(), ZIP_RDONLY, &err);
    if (!zip)
        return {};
    QByteArray found;
    const zip_int64_t n = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < n && found.isEmpty(); ++i) {
        zip_stat_t st;
        if (zip_stat_index(zip, zip_uint64_t(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE) ||
            st.size == 0 || st.size > zip_uint64_t(maxBytes) ||
            ((st.valid & ZIP_STAT_NAME) && QByteArray(st.name).endsWith('/')))
            continue;
        zip_file_t* file = zip_fopen_index(zip, zip_uint64_t(i), 0);
        if (!file)
            continue;
        QByteArray bytes(qsizetype(st.size), Qt::Uninitialized);
        const zip_int64_t got = zip_fread(file, bytes.data(), st.size);
        zip_fclose(file);
        if (got == zip_int64_t(st.size) && accept(bytes))
            found = bytes;
    }
    zip_close(zip);
    return found;
}

} // namespace CarZip
