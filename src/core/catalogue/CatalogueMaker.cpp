#include "core/catalogue/CatalogueMaker.h"

#include "core/catalogue/CatalogueFile.h"
#include "core/catalogue/ShotPictures.h"
#include "core/gamedata/CarZip.h"
#include "platform/AnsiText.h"
#include "platform/NetworkPolicy.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QUrl>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// A relative path as an address: every part percent-encoded, the "/" between them kept.
QString addressOf(const QString& relativePath) {
    QStringList parts = relativePath.split(u'/');
    for (QString& part : parts)
        part = QString::fromLatin1(QUrl::toPercentEncoding(part));
    return parts.join(u'/');
}

// The ZIP address of an entry as the reader completes it without a base: the key under which a
// host's edits are found again.
QString readKey(const QString& zipLine) {
    return CatalogueFile::cutZipUrl(CatalogueFile::completeUrl(QString(), zipLine));
}

struct Kept {
    QString name;
    QString author;
};

// The names and authors of the catalogue already in the out folder, by ZIP address.
QHash<QString, Kept> keptEntries(const QString& cataloguePath) {
    QHash<QString, Kept> kept;
    QStringList lines;
    if (!AnsiText::readLines(cataloguePath, lines))
        return kept;
    CatalogueFile old;
    old.parse(lines, QString());
    if (old.format != 1)
        return kept;
    for (const CatalogueFile::Entry& e : std::as_const(old.entries))
        kept.insert(e.zipUrl, {e.name, e.author});
    return kept;
}

} // namespace

CatalogueMaker::CatalogueMaker(QString extractorCommand, const ShotPictures& pictures)
    : m_extractor(std::move(extractorCommand)), m_pictures(pictures) {}

QString CatalogueMaker::serverListText(const QString& baseUrl, const QString& serverName) {
    const QString base = baseUrl.endsWith(u'/') ? baseUrl : baseUrl + u'/';
    return QStringLiteral("SL1") + kCrLf + QStringLiteral("1") + kCrLf + base + kCrLf +
           kCatalogueFile + kCrLf + serverName + kCrLf;
}

QString CatalogueMaker::make(const Options& options, QList<Result>& results) {
    const QDir zipDir(options.zipFolder);
    if (!zipDir.exists())
        return QStringLiteral("%1 is not a folder").arg(options.zipFolder);
    const QDir outDir(options.outFolder.isEmpty() ? options.zipFolder : options.outFolder);
    if (!options.baseUrl.isEmpty() && !NetworkPolicy::allows(options.baseUrl))
        return QStringLiteral("%1 is not an http or https address with a host")
            .arg(options.baseUrl);
    if (!QDir().mkpath(outDir.path()) || !QDir().mkpath(outDir.filePath(kShotsFolder)))
        return QStringLiteral("cannot create the folder %1").arg(outDir.filePath(kShotsFolder));
    QTemporaryDir work;
    if (!work.isValid())
        return QStringLiteral("cannot create a temporary folder: %1").arg(work.errorString());

    const QString cataloguePath = outDir.filePath(kCatalogueFile);
    const QHash<QString, Kept> kept = keptEntries(cataloguePath);
    const QString author = options.author.isEmpty() ? kUnknownAuthor : options.author;
    QString text = QStringLiteral("?CL1") + kCrLf;

    const QStringList zips =
        zipDir.entryList({QStringLiteral("*.zip")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    int n = 0;
    for (const QString& zipFile : zips) {
        Result r;
        r.zipFile = zipFile;
        const QString zipPath = zipDir.absoluteFilePath(zipFile);
        const QString folder = work.filePath(QStringLiteral("car%1").arg(++n));
        QDir().mkpath(folder);
        r.why = CarZip::check(m_extractor, zipPath, folder);
        QDir(folder).removeRecursively();

        const QString baseName = QFileInfo(zipFile).completeBaseName();
        QString shotLine;
        if (r.why.isEmpty()) {
            const QByteArray picture = CarZip::firstFile(
                zipPath, NetworkPolicy::kSmallFileMaxBytes,
                [this](const QByteArray& bytes) { return m_pictures.isPicture(bytes); });
            const QString shotFile = kShotsFolder + u'/' + baseName + QStringLiteral(".jpg");
            if (!picture.isEmpty()) {
                if (m_pictures.writeShot(picture, outDir.filePath(shotFile),
                                         QSize(kShotWidth, kShotHeight)))
                    shotLine = addressOf(shotFile);
                else
                    r.why = QStringLiteral("cannot write %1").arg(outDir.filePath(shotFile));
            }
        }
        if (r.why.isEmpty()) {
            r.added = true;
            const QString zipLine = addressOf(outDir.relativeFilePath(zipPath));
            const auto old = kept.constFind(readKey(zipLine));
            const Kept entry = old != kept.cend() ? *old : Kept{baseName, author};
            text += entry.name + kCrLf + entry.author + kCrLf + shotLine + kCrLf + zipLine + kCrLf;
        }
        results.append(r);
        if (onZip)
            onZip(r);
    }

    if (!AnsiText::writeFile(cataloguePath, text))
        return QStringLiteral("cannot write %1").arg(cataloguePath);
    if (!options.baseUrl.isEmpty()) {
        const QString name = options.serverName.isEmpty()
                                 ? QFileInfo(outDir.absolutePath()).fileName()
                                 : options.serverName;
        const QString listPath = outDir.filePath(kServerListFile);
        if (!AnsiText::writeFile(listPath, serverListText(options.baseUrl, name)))
            return QStringLiteral("cannot write %1").arg(listPath);
    }
    return {};
}
