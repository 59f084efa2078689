#include "core/catalogue/CatalogueCheck.h"

#include "core/catalogue/CatalogueFile.h"
#include "core/catalogue/FetchFile.h"
#include "core/catalogue/ServerList.h"
#include "core/catalogue/ShotPictures.h"
#include "core/download/DownloadFormats.h"
#include "core/gamedata/CarZip.h"
#include "core/session/AppContext.h"
#include "platform/AnsiText.h"
#include "platform/MessageBoxService.h"
#include "platform/NetworkPolicy.h"
#include "platform/ProgramEnd.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkReply>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

namespace {

// The fetch's boxes, kept as the problem of the file fetched.
class KeptMessages : public MessageBoxService {
public:
    Answer show(const QString& text, const QString&, int) override {
        message = text;
        message.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\r', u' ');
        message = message.simplified();
        return Ok;
    }
    QString message;
};

// What is wrong with a reply that has ended (under a cap of maxBytes); empty when the server
// answered 200.
QString answerProblem(QNetworkReply* reply, qint64 maxBytes) {
    switch (NetworkPolicy::stopOf(reply)) {
    case NetworkPolicy::Stop::TooSlow:
        return QStringLiteral("the server sent less than 1 KB in %1 seconds")
            .arg(NetworkPolicy::stallWindowMs() / 1000.0);
    case NetworkPolicy::Stop::TooLarge:
        return QStringLiteral("larger than %1 bytes").arg(maxBytes);
    case NetworkPolicy::Stop::RedirectRefused:
        return QStringLiteral("redirected to an address that is not allowed");
    case NetworkPolicy::Stop::None:
        break;
    }
    if (reply->error() == QNetworkReply::SslHandshakeFailedError)
        return NetworkPolicy::certificateMessage(NetworkPolicy::certificateErrors(reply))
            .simplified();
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return QStringLiteral("no answer (%1)").arg(reply->errorString());
    if (status.toInt() != 200)
        return QStringLiteral("HTTP %1 %2")
            .arg(status.toInt())
            .arg(QString::fromLatin1(
                reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray()));
    if (reply->error() != QNetworkReply::NoError)
        return QStringLiteral("the transfer broke off (%1)").arg(reply->errorString());
    return {};
}

// The folder part of an address: everything up to its last "/".
QString folderOf(const QString& url) {
    return url.left(url.lastIndexOf(u'/') + 1);
}

} // namespace

struct CatalogueCheck::Task {
    int car = 0;
    QNetworkReply* reply = nullptr;
    bool replyEnded = false;
    QFile zip;
    qint64 received = 0;
    QString folder;
    std::unique_ptr<QProcess> extractor;
};

int CatalogueCheck::Report::wrongCars() const {
    int n = 0;
    for (const Car& car : cars)
        n += car.problems.isEmpty() ? 0 : 1;
    return n;
}

QString CatalogueCheck::verdict(const Car& car) {
    return car.problems.isEmpty() ? QStringLiteral("OK") : car.problems.join(QStringLiteral("; "));
}

CatalogueCheck::CatalogueCheck(AppContext& ctx, QString extractorCommand,
                               const ShotPictures& pictures)
    : m_ctx(ctx), m_extractor(std::move(extractorCommand)), m_pictures(pictures) {}

CatalogueCheck::~CatalogueCheck() {
    for (auto& task : m_tasks) {
        if (task->reply)
            NetworkPolicy::discard(task->reply);
        if (task->extractor && task->extractor->state() != QProcess::NotRunning) {
            task->extractor->kill();
            task->extractor->waitForFinished(2000);
        }
    }
}

bool CatalogueCheck::fetch(const QString& url, const QString& file, QString& problem) {
    KeptMessages messages;
    MessageBoxService* prompts = m_ctx.prompts;
    m_ctx.prompts = &messages;
    const bool fetched = FetchFile(m_ctx, url, file);
    m_ctx.prompts = prompts;
    if (!fetched)
        problem = url + QStringLiteral(": ") + messages.message;
    return fetched;
}

CatalogueCheck::Report CatalogueCheck::run(const QString& url) {
    Report report;
    m_work = std::make_unique<QTemporaryDir>();
    if (!m_work->isValid()) {
        report.problems
            << QStringLiteral("cannot create a temporary folder: %1").arg(m_work->errorString());
        return report;
    }
    const QString first = m_work->filePath(QStringLiteral("first.dat"));
    QString problem;
    QStringList lines;
    if (!fetch(url, first, problem) || !AnsiText::readLines(first, lines)) {
        report.problems << problem;
        return report;
    }
    if (!lines.isEmpty() && lines.first().startsWith(QLatin1String("SL"))) {
        ServerList list;
        switch (list.parse(lines)) {
        case ServerList::Status::Corrupt:
            report.problems << url + QStringLiteral(": not a server list the program can read "
                                                    "(header, count or servers missing)");
            return report;
        case ServerList::Status::Outdated:
            report.problems << url + QStringLiteral(": the server list's version (%1) is newer "
                                                    "than the program reads")
                                         .arg(lines.first().mid(2, 1));
            return report;
        case ServerList::Status::Ok:
            break;
        }
        for (int i = 1; i <= list.count(); ++i)
            readCatalogue(list.ServerURLs.at(i) + list.ServerCataloguePaths.at(i),
                          list.ServerURLs.at(i), report);
    } else {
        readCatalogue(url, folderOf(url), report);
    }

    // The cars, kAtOnce at a time.
    m_cars = &report.cars;
    QEventLoop loop;
    m_allDone = [&loop] { loop.quit(); };
    if (m_ctx.programEnd)
        connect(m_ctx.programEnd, &ProgramEnd::programEnded, &loop, &QEventLoop::quit);
    for (int i = 0; i < kAtOnce; ++i)
        startNext();
    if (m_done < report.cars.size() && !(m_ctx.programEnd && m_ctx.programEnd->ended()))
        loop.exec();
    report.interrupted = m_done < report.cars.size();
    m_allDone = nullptr;
    return report;
}

void CatalogueCheck::readCatalogue(const QString& url, const QString& baseUrl, Report& report) {
    const QString file = m_work->filePath(QStringLiteral("catalogue%1.dat").arg(++m_files));
    QString problem;
    QStringList lines;
    if (!fetch(url, file, problem) || !AnsiText::readLines(file, lines)) {
        report.problems << problem;
        return;
    }
    CatalogueFile catalogue;
    catalogue.parse(lines, baseUrl);
    if (catalogue.outdated)
        report.problems << url + QStringLiteral(": the header \"%1\" is of a newer version; the "
                                                "program reads the file as a catalogue without "
                                                "authors")
                                     .arg(lines.first());
    if (!catalogue.complete)
        report.problems << url + QStringLiteral(": the last entry is cut short after %1 "
                                                "complete ones")
                                     .arg(catalogue.entries.size());
    for (const CatalogueFile::Entry& e : std::as_const(catalogue.entries))
        report.cars.append({url, e.name, e.author, e.shotUrl, e.zipUrl, {}});
}

void CatalogueCheck::startNext() {
    if (m_next >= m_cars->size() || (m_ctx.programEnd && m_ctx.programEnd->ended()))
        return;
    auto task = std::make_unique<Task>();
    task->car = m_next++;
    Task& t = *task;
    m_tasks.push_back(std::move(task));
    startShot(t);
}

// Starts a GET under the network rules; done runs (outside the reply's own signals) once the
// reply has finished or the rules have stopped it. False when the address is not allowed.
static bool startGet(QObject* context, QNetworkAccessManager& network, const QString& url,
                     const NetworkPolicy::Limits& base, QNetworkReply*& reply, bool& ended,
                     const std::function<void()>& done) {
    NetworkPolicy::Limits limits = base;
    ended = false;
    auto end = [&ended, context, done] {
        if (ended)
            return;
        ended = true;
        QTimer::singleShot(0, context, done);
    };
    limits.onStop = end;
    reply = NetworkPolicy::get(network, QUrl(url, QUrl::TolerantMode), limits);
    if (!reply)
        return false;
    QObject::connect(reply, &QNetworkReply::finished, context, end);
    return true;
}

void CatalogueCheck::startShot(Task& t) {
    Car& car = (*m_cars)[t.car];
    if (car.shotUrl.isEmpty()) {
        startZip(t);
        return;
    }
    NetworkPolicy::Limits limits;
    limits.maxBytes = NetworkPolicy::kSmallFileMaxBytes;
    const bool started =
        startGet(this, *m_ctx.network, car.shotUrl, limits, t.reply, t.replyEnded, [this, &t] {
            Car& c = (*m_cars)[t.car];
            QString why = answerProblem(t.reply, NetworkPolicy::kSmallFileMaxBytes);
            if (why.isEmpty() && !m_pictures.isPicture(t.reply->readAll()))
                why = QStringLiteral("not a picture");
            NetworkPolicy::discard(t.reply);
            t.reply = nullptr;
            if (!why.isEmpty())
                c.problems << QStringLiteral("screenshot %1: %2").arg(c.shotUrl, why);
            startZip(t);
        });
    if (!started) {
        car.problems
            << QStringLiteral("screenshot %1: not an http or https address").arg(car.shotUrl);
        startZip(t);
    }
}

void CatalogueCheck::startZip(Task& t) {
    Car& car = (*m_cars)[t.car];
    t.zip.setFileName(m_work->filePath(QStringLiteral("car%1.zip").arg(t.car + 1)));
    if (!t.zip.open(QIODevice::WriteOnly)) {
        car.problems << QStringLiteral("cannot write %1").arg(t.zip.fileName());
        finish(t);
        return;
    }
    NetworkPolicy::Limits limits;
    limits.maxBytes = NetworkPolicy::kCarMaxBytes;
    limits.readBufferSize = 256 * 1024;
    const bool started =
        startGet(this, *m_ctx.network, car.zipUrl, limits, t.reply, t.replyEnded, [this, &t] {
            Car& c = (*m_cars)[t.car];
            const QByteArray rest = t.reply->readAll();
            t.received += rest.size();
            t.zip.write(rest);
            t.zip.close();
            QString why = answerProblem(t.reply, NetworkPolicy::kCarMaxBytes);
            const qint64 announced =
                t.reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
            if (why.isEmpty() && DownloadFormats::sizeInKB(announced) == 0)
                why = t.reply->hasRawHeader("Content-Length")
                          ? QStringLiteral("a length of %1 bytes is announced; a car's download "
                                           "needs more than 512")
                                .arg(announced)
                          : QStringLiteral("no Content-Length: a car's download needs one");
            else if (why.isEmpty() && t.received != announced)
                why = QStringLiteral("%1 bytes announced, %2 received")
                          .arg(announced)
                          .arg(t.received);
            NetworkPolicy::discard(t.reply);
            t.reply = nullptr;
            if (!why.isEmpty()) {
                c.problems << QStringLiteral("ZIP %1: %2").arg(c.zipUrl, why);
                finish(t);
                return;
            }
            startUnpack(t);
        });
    if (!started) {
        t.zip.close();
        car.problems << QStringLiteral("ZIP %1: not an http or https address").arg(car.zipUrl);
        finish(t);
        return;
    }
    connect(t.reply, &QNetworkReply::readyRead, this, [&t] {
        const QByteArray bytes = t.reply->readAll();
        t.received += bytes.size();
        t.zip.write(bytes);
    });
}

void CatalogueCheck::startUnpack(Task& t) {
    Car& car = (*m_cars)[t.car];
    t.folder = m_work->filePath(QStringLiteral("car%1").arg(t.car + 1));
    QString why;
    if (QDir().mkpath(t.folder))
        t.extractor = CarZip::startUnpack(m_extractor, t.zip.fileName(), t.folder, &why);
    else
        why = QStringLiteral("cannot create %1").arg(t.folder);
    if (!t.extractor) {
        car.problems << QStringLiteral("ZIP %1: %2").arg(car.zipUrl, why);
        finish(t);
        return;
    }
    connect(t.extractor.get(), &QProcess::finished, this, [this, &t] {
        QTimer::singleShot(0, this, [this, &t] {
            Car& c = (*m_cars)[t.car];
            const QString why = CarZip::judge(*t.extractor, t.folder);
            if (!why.isEmpty())
                c.problems << QStringLiteral("ZIP %1: %2").arg(c.zipUrl, why);
            finish(t);
        });
    });
}

void CatalogueCheck::finish(Task& t) {
    QFile::remove(t.zip.fileName());
    if (!t.folder.isEmpty())
        QDir(t.folder).removeRecursively();
    ++m_done;
    if (onProgress)
        onProgress(m_done, int(m_cars->size()));
    if (m_done == m_cars->size()) {
        if (m_allDone)
            m_allDone();
        return;
    }
    startNext();
}
