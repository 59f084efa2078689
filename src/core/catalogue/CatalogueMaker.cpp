#include "core/catalogue/CatalogueMaker.h"

#include "core/catalogue/CatalogueFile.h"
#include "core/catalogue/CataloguePage.h"
#include "core/catalogue/ShotPictures.h"
#include "core/gamedata/CarZip.h"
#include "platform/AnsiText.h"
#include "platform/NetworkPolicy.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>

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

using Entry = CataloguePage::Entry;

// The catalogue already in the out folder, its lines as written: the entries of ZIPs by their
// address, and the others (announcements, ZIPs elsewhere) in their order.
struct OldCatalogue {
    QHash<QString, Entry> byZip;
    QList<Entry> others;
};

OldCatalogue oldCatalogue(const QString& cataloguePath) {
    OldCatalogue old;
    QStringList lines;
    if (!AnsiText::readLines(cataloguePath, lines))
        return old;
    CatalogueFile parsed;
    parsed.parse(lines, QString());
    if (parsed.format != 1)
        return old;
    for (qsizetype k = 0; k < parsed.entries.size(); ++k) {
        const qsizetype at = 1 + 4 * k;
        const Entry e{lines.at(at), lines.at(at + 1), lines.at(at + 2), lines.at(at + 3)};
        const QString key = parsed.entries.at(k).zipUrl;
        if (key.isEmpty() || key.startsWith(QLatin1String("http://")) ||
            key.startsWith(QLatin1String("https://")))
            old.others.append(e);
        else
            old.byZip.insert(key, e);
    }
    return old;
}

// Empty when the catalogue's Windows-1252 holds text, otherwise what players will read.
QString ansiLoss(const QString& text) {
    const QString read = AnsiText::decode(AnsiText::encode(text));
    return read == text ? QString() : read;
}

QString lossWarning(const QString& what, const QString& text) {
    const QString read = ansiLoss(text);
    return read.isEmpty() ? QString()
                          : QStringLiteral("%1 \"%2\" holds characters that the catalogue's "
                                           "Windows-1252 cannot hold; players see \"%3\"")
                                .arg(what, text, read);
}

// The ZIP file names in catalogue order: without regard to case, then by case, so that x.ZIP
// and x.zip always come in the same order.
QStringList zipFilesOf(const QDir& dir) {
    QStringList zips = dir.entryList({QStringLiteral("*.zip")}, QDir::Files);
    std::sort(zips.begin(), zips.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return zips;
}

// "shots/<name>.jpg", unless another ZIP took it (without regard to case, as some hosts serve
// names): then "shots/<name>-2.jpg" and so on.
QString shotFileFor(const QString& baseName, QSet<QString>& taken) {
    QString name = baseName;
    for (int n = 2; taken.contains(name.toCaseFolded()); ++n)
        name = baseName + QStringLiteral("-%1").arg(n);
    taken.insert(name.toCaseFolded());
    return CatalogueMaker::kShotsFolder + u'/' + name + QStringLiteral(".jpg");
}

} // namespace

CatalogueMaker::CatalogueMaker(QString extractorCommand, const ShotPictures& pictures)
    : m_extractor(std::move(extractorCommand)), m_pictures(pictures) {}

QString CatalogueMaker::serverListUrl(const QString& baseUrl) {
    return (baseUrl.endsWith(u'/') ? baseUrl : baseUrl + u'/') + kServerListFile;
}

QString CatalogueMaker::serverListText(const QString& baseUrl, const QString& serverName) {
    const QString base = baseUrl.endsWith(u'/') ? baseUrl : baseUrl + u'/';
    return QStringLiteral("SL1") + kCrLf + QStringLiteral("1") + kCrLf + base + kCrLf +
           kCatalogueFile + kCrLf + serverName + kCrLf;
}

bool CatalogueMaker::stopping() {
    if (!m_interrupted && stopRequested && stopRequested())
        m_interrupted = true;
    return m_interrupted;
}

// Unpacks and judges one ZIP, waiting for the extractor in short steps so that a stop is heard.
ZipJudgement CatalogueMaker::judge(const QString& zipPath, const QString& folder) {
    if (!QDir().mkpath(folder))
        return ZipJudgement::notJudged(
            QStringLiteral("this machine cannot make a temporary folder"));
    QString why;
    const std::unique_ptr<QProcess> extractor =
        CarZip::startUnpack(m_extractor, zipPath, folder, &why);
    if (!extractor)
        return ZipJudgement::notJudged(why);
    const QDeadlineTimer deadline(kExtractorTimeoutMs);
    while (extractor->state() != QProcess::NotRunning && !extractor->waitForFinished(100)) {
        if (!stopping() && !deadline.hasExpired())
            continue;
        extractor->terminate();
        if (!extractor->waitForFinished(2000))
            extractor->kill();
        extractor->waitForFinished(2000);
        return ZipJudgement::notJudged(
            m_interrupted ? QStringLiteral("stopped")
                          : QStringLiteral("the extractor did not finish within %1 seconds")
                                .arg(kExtractorTimeoutMs / 1000));
    }
    return ZipJudgement::of(*extractor, folder);
}

QString CatalogueMaker::make(const Options& options, QList<Result>& results) {
    m_interrupted = false;
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
    const OldCatalogue old = oldCatalogue(cataloguePath);
    const QString author = options.author.isEmpty() ? kUnknownAuthor : options.author;
    const QString serverName = options.serverName.isEmpty()
                                   ? QFileInfo(outDir.absolutePath()).fileName()
                                   : options.serverName;
    if (onWarning) {
        for (const QString& w :
             {lossWarning(QStringLiteral("the author"), author),
              options.baseUrl.isEmpty()
                  ? QString()
                  : lossWarning(QStringLiteral("the server's name"), serverName)})
            if (!w.isEmpty())
                onWarning(w);
    }

    QList<Entry> entries = old.others;
    QSet<QString> shotNames;
    int n = 0;
    for (const QString& zipFile : zipFilesOf(zipDir)) {
        if (stopping())
            break;
        Result r;
        r.zipFile = zipFile;
        const QString zipPath = zipDir.absoluteFilePath(zipFile);
        const QString folder = work.filePath(QStringLiteral("car%1").arg(++n));
        // The extractor's command line quotes the ZIP's path: a name holding a double quote
        // is handed over under a link of a plain name.
        const QString link = work.filePath(QStringLiteral("car%1.zip").arg(n));
        const bool linked = zipPath.contains(u'"') && QFile::link(zipPath, link);
        ZipJudgement judged = judge(linked ? link : zipPath, folder);
        if (linked)
            judged.why.replace(link, zipPath);
        QDir(folder).removeRecursively();
        if (m_interrupted)
            break;

        const QString baseName = QFileInfo(zipFile).completeBaseName();
        const QString shotFile = shotFileFor(baseName, shotNames);
        const QString zipLine = addressOf(outDir.relativeFilePath(zipPath));
        const auto kept = old.byZip.constFind(readKey(zipLine));
        QString shotLine;
        if (judged.outcome == ZipJudgement::Outcome::Car) {
            const QByteArray picture = CarZip::firstFile(
                zipPath, NetworkPolicy::kSmallFileMaxBytes,
                [this](const QByteArray& bytes) { return m_pictures.isPicture(bytes); });
            if (!picture.isEmpty()) {
                if (m_pictures.writeShot(picture, outDir.filePath(shotFile),
                                         QSize(kShotWidth, kShotHeight)))
                    shotLine = addressOf(shotFile);
                else
                    judged = ZipJudgement::notJudged(
                        QStringLiteral("cannot write %1").arg(outDir.filePath(shotFile)));
            }
        }
        switch (judged.outcome) {
        case ZipJudgement::Outcome::Car: {
            Entry e = kept != old.byZip.cend() ? *kept : Entry{baseName, author, {}, {}};
            e.shotLine = shotLine;
            e.zipLine = zipLine;
            const QString loss = lossWarning(QStringLiteral("the name"), e.name);
            if (!loss.isEmpty())
                r.warnings << loss;
            entries.append(e);
            break;
        }
        case ZipJudgement::Outcome::NotACar:
            r.state = Result::State::Refused;
            r.why = judged.why;
            break;
        case ZipJudgement::Outcome::NotJudged:
            // Nothing is known against the ZIP: its entry stays as the host left it.
            r.why = judged.why;
            r.state = kept != old.byZip.cend() ? Result::State::Kept : Result::State::NotJudged;
            if (kept != old.byZip.cend())
                entries.append(*kept);
            break;
        }
        results.append(r);
        if (onZip)
            onZip(r);
    }
    if (stopping())
        return QStringLiteral("stopped before anything was written");

    QString text = QStringLiteral("?CL1") + kCrLf;
    for (const Entry& e : std::as_const(entries))
        text += e.name + kCrLf + e.author + kCrLf + e.shotLine + kCrLf + e.zipLine + kCrLf;
    if (!AnsiText::writeFile(cataloguePath, text))
        return QStringLiteral("cannot write %1").arg(cataloguePath);
    if (!options.baseUrl.isEmpty()) {
        const QString listPath = outDir.filePath(kServerListFile);
        if (!AnsiText::writeFile(listPath, serverListText(options.baseUrl, serverName)))
            return QStringLiteral("cannot write %1").arg(listPath);
        const QString pagePath = outDir.filePath(kPageFile);
        if (!CataloguePage::write(pagePath, serverName, serverListUrl(options.baseUrl), entries))
            return QStringLiteral("cannot write %1").arg(pagePath);
    }
    return {};
}
