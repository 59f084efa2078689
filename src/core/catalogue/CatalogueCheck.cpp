#include "core/catalogue/CatalogueCheck.h"

#include "core/catalogue/CatalogueAddress.h"
#include "core/catalogue/ShotPictures.h"
#include "core/catalogue/ZipJudgement.h"
#include "core/download/DownloadFormats.h"
#include "core/gamedata/CarZip.h"
#include "core/session/AppContext.h"
#include "platform/AnsiText.h"
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

#include <cerrno>
#include <cstring>
#include <deque>

namespace {

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

// Starts a GET under the network rules; done runs (outside the reply's own signals, and never
// after context is gone) once the reply has finished or the rules have stopped it. False when
// the address is not allowed.
bool startGet(QObject* context, QNetworkAccessManager& network, const QString& url,
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

} // namespace

struct CatalogueCheck::Task {
    Car car;
    bool done = false;
    QObject context; // the task's callbacks go with it
    QNetworkReply* reply = nullptr;
    bool replyEnded = false;
    int number = 0; // of its temporary files
    QFile zip;
    QString zipWriteError; // set when this machine could not write the copy
    qint64 received = 0;
    QString folder;
    std::unique_ptr<QProcess> extractor;

    ~Task() {
        if (reply)
            NetworkPolicy::discard(reply);
        if (extractor && extractor->state() != QProcess::NotRunning) {
            extractor->kill();
            extractor->waitForFinished(2000);
        }
        if (zip.isOpen())
            zip.close();
        if (!zip.fileName().isEmpty())
            QFile::remove(zip.fileName());
        if (!folder.isEmpty())
            QDir(folder).removeRecursively();
    }
    // Keeps the bytes that came; a copy this machine cannot write is noted, not blamed on the
    // host, and the rest of the body is still read so the transfer ends as usual.
    void keep(const QByteArray& bytes) {
        received += bytes.size();
        if (zipWriteError.isEmpty() && zip.write(bytes) != bytes.size())
            zipWriteError = QString::fromLocal8Bit(std::strerror(errno));
    }
};

QString CatalogueCheck::verdict(const Car& car) {
    QStringList said = car.problems;
    if (!car.notChecked.isEmpty())
        said << QStringLiteral("not checked: ") + car.notChecked;
    if (!said.isEmpty())
        return said.join(QStringLiteral("; "));
    return car.announcement() ? QStringLiteral("announcement (no ZIP), OK") : QStringLiteral("OK");
}

CatalogueCheck::CatalogueCheck(AppContext& ctx, QString extractorCommand,
                               const ShotPictures& pictures)
    : m_ctx(ctx), m_extractor(std::move(extractorCommand)), m_pictures(pictures) {}

CatalogueCheck::~CatalogueCheck() = default;

bool CatalogueCheck::stopped() const {
    return m_ctx.programEnd && m_ctx.programEnd->ended();
}

void CatalogueCheck::problem(const QString& text) {
    ++m_report->problems;
    if (onProblem)
        onProblem(text);
}

CatalogueCheck::Report CatalogueCheck::run(const QString& url) {
    Report report;
    m_report = &report;
    m_work = std::make_unique<QTemporaryDir>();
    if (!m_work->isValid()) {
        report.refusal = url + QStringLiteral(": not checked: this machine cannot make a "
                                              "temporary folder (%1)")
                                   .arg(m_work->errorString());
        return report;
    }
    const QString first = m_work->filePath(QStringLiteral("first.dat"));
    QStringList lines;
    if (!CatalogueAddress::fetch(m_ctx, url, first, report.refusal)) {
        report.interrupted = stopped();
        if (report.interrupted)
            report.refusal.clear();
        return report;
    }
    if (!AnsiText::readLines(first, lines)) {
        report.refusal = url + QStringLiteral(": not checked: this machine cannot read its "
                                              "temporary copy");
        return report;
    }
    QFile::remove(first);
    if (lines.isEmpty() || lines.first().startsWith(QLatin1String("SL")) ||
        CatalogueAddress::isWebPage(lines)) {
        const CatalogueAddress::Judgement j = CatalogueAddress::judgeLines(url, lines);
        if (!j.accepted()) {
            report.refusal = j.text(url);
            return report;
        }
        report.serverList = true;
        for (int i = 1; i <= j.servers.count() && !stopped(); ++i)
            checkCatalogue(j.servers.ServerURLs.at(i) + j.servers.ServerCataloguePaths.at(i),
                           j.servers.ServerURLs.at(i));
    } else {
        checkCatalogue(url, CatalogueAddress::folderOf(url), std::move(lines));
    }
    report.interrupted = stopped();
    m_report = nullptr;
    return report;
}

void CatalogueCheck::checkCatalogue(const QString& url, const QString& baseUrl, QStringList lines) {
    if (lines.isEmpty()) {
        const QString file = m_work->filePath(QStringLiteral("catalogue%1.dat").arg(++m_files));
        QString why;
        if (!CatalogueAddress::fetch(m_ctx, url, file, why)) {
            if (!stopped())
                problem(why);
            return;
        }
        const bool read = AnsiText::readLines(file, lines);
        QFile::remove(file);
        if (!read) {
            problem(url + QStringLiteral(": not checked: this machine cannot read its "
                                         "temporary copy"));
            return;
        }
    }
    if (CatalogueAddress::isWebPage(lines)) {
        problem(CatalogueAddress::webPageText(url));
        return;
    }
    CatalogueFile catalogue;
    catalogue.parse(lines, baseUrl);
    const QString firstLine = lines.value(0);
    lines.clear();
    if (catalogue.outdated) {
        problem(url + QStringLiteral(": the header \"%1\" is of a newer version; the program "
                                     "loads nothing of it")
                          .arg(firstLine));
        return;
    }
    if (!catalogue.complete)
        problem(url + QStringLiteral(": the last entry is cut short after %1 complete ones; the "
                                     "program shows the corrupt-file message")
                          .arg(catalogue.entries.size()));
    checkEntries(url, catalogue.entries);
}

// The driver: starts entries while fewer than kAtOnce run and the first unfinished one is not
// kAhead behind, hands the finished ones on in order and forgets them, and otherwise waits for
// the next one to finish. A task never starts another, so nothing recurses however many fail.
void CatalogueCheck::checkEntries(const QString& url, const QList<CatalogueFile::Entry>& entries) {
    std::deque<std::unique_ptr<Task>> window;
    qsizetype next = 0;
    int done = 0;
    m_running = 0;
    QEventLoop loop;
    m_wake = [&loop] { loop.quit(); };
    QMetaObject::Connection ended;
    if (m_ctx.programEnd)
        ended = connect(m_ctx.programEnd, &ProgramEnd::programEnded, &loop, &QEventLoop::quit);
    for (;;) {
        while (!window.empty() && window.front()->done) {
            const Car& car = window.front()->car;
            if (car.announcement()) {
                ++m_report->announcements;
                m_report->wrongAnnouncements += car.wrong() ? 1 : 0;
            } else {
                ++m_report->cars;
                if (car.wrong())
                    ++m_report->wrong;
                else if (!car.notChecked.isEmpty())
                    ++m_report->notChecked;
            }
            if (onCar)
                onCar(car);
            window.pop_front();
            if (onProgress)
                onProgress(++done, int(entries.size()));
        }
        if (stopped() || (next == entries.size() && window.empty()))
            break;
        bool started = false;
        while (m_running < kAtOnce && next < entries.size() && window.size() < kAhead) {
            const CatalogueFile::Entry& e = entries.at(next++);
            window.push_back(std::make_unique<Task>());
            Task& t = *window.back();
            t.car = {url, e.name, e.author, e.shotUrl, e.zipUrl, {}, {}};
            ++m_running;
            startShot(t);
            started = true;
        }
        if (!started)
            loop.exec();
    }
    disconnect(ended);
    m_wake = nullptr;
}

void CatalogueCheck::startShot(Task& t) {
    if (t.car.shotUrl.isEmpty()) {
        startZip(t);
        return;
    }
    NetworkPolicy::Limits limits;
    limits.maxBytes = NetworkPolicy::kSmallFileMaxBytes;
    const bool started = startGet(
        &t.context, *m_ctx.network, t.car.shotUrl, limits, t.reply, t.replyEnded, [this, &t] {
            QString why = answerProblem(t.reply, NetworkPolicy::kSmallFileMaxBytes);
            if (why.isEmpty() && !m_pictures.isPicture(t.reply->readAll()))
                why = QStringLiteral("not a picture");
            NetworkPolicy::discard(t.reply);
            t.reply = nullptr;
            if (!why.isEmpty())
                t.car.problems << QStringLiteral("screenshot %1: %2").arg(t.car.shotUrl, why);
            startZip(t);
        });
    if (!started) {
        t.car.problems
            << QStringLiteral("screenshot %1: not an http or https address").arg(t.car.shotUrl);
        startZip(t);
    }
}

void CatalogueCheck::startZip(Task& t) {
    if (t.car.announcement()) {
        finish(t);
        return;
    }
    t.number = ++m_files;
    t.zip.setFileName(m_work->filePath(QStringLiteral("car%1.zip").arg(t.number)));
    // Unbuffered: a write this machine cannot make fails at once, not at a later flush.
    if (!t.zip.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        t.car.notChecked = QStringLiteral("ZIP %1: this machine cannot write a temporary copy "
                                          "(%2)")
                               .arg(t.car.zipUrl, t.zip.errorString());
        finish(t);
        return;
    }
    NetworkPolicy::Limits limits;
    limits.maxBytes = NetworkPolicy::kCarMaxBytes;
    limits.readBufferSize = 256 * 1024;
    const bool started = startGet(
        &t.context, *m_ctx.network, t.car.zipUrl, limits, t.reply, t.replyEnded, [this, &t] {
            t.keep(t.reply->readAll());
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
                t.car.problems << QStringLiteral("ZIP %1: %2").arg(t.car.zipUrl, why);
                finish(t);
                return;
            }
            if (!t.zipWriteError.isEmpty()) {
                t.car.notChecked = QStringLiteral("ZIP %1: this machine cannot write a "
                                                  "temporary copy (%2)")
                                       .arg(t.car.zipUrl, t.zipWriteError);
                finish(t);
                return;
            }
            startUnpack(t);
        });
    if (!started) {
        t.zip.close();
        t.car.problems << QStringLiteral("ZIP %1: not an http or https address").arg(t.car.zipUrl);
        finish(t);
        return;
    }
    connect(t.reply, &QNetworkReply::readyRead, &t.context, [&t] { t.keep(t.reply->readAll()); });
}

void CatalogueCheck::startUnpack(Task& t) {
    t.folder = m_work->filePath(QStringLiteral("car%1").arg(t.number));
    QString why;
    if (QDir().mkpath(t.folder))
        t.extractor = CarZip::startUnpack(m_extractor, t.zip.fileName(), t.folder, &why);
    else
        why = QStringLiteral("this machine cannot make a temporary folder");
    if (!t.extractor) {
        t.car.notChecked = QStringLiteral("ZIP %1: %2").arg(t.car.zipUrl, why);
        finish(t);
        return;
    }
    connect(t.extractor.get(), &QProcess::finished, &t.context, [this, &t] {
        QTimer::singleShot(0, &t.context, [this, &t] {
            const ZipJudgement judged = ZipJudgement::of(*t.extractor, t.folder);
            // The extractor names the temporary copy: the host knows the ZIP by its address.
            QString why = judged.why;
            why.replace(t.zip.fileName(), t.car.zipUrl).replace(t.folder + u'/', QString());
            if (judged.outcome == ZipJudgement::Outcome::NotACar)
                t.car.problems << QStringLiteral("ZIP %1: %2").arg(t.car.zipUrl, why);
            else if (judged.outcome == ZipJudgement::Outcome::NotJudged)
                t.car.notChecked = QStringLiteral("ZIP %1: %2").arg(t.car.zipUrl, why);
            finish(t);
        });
    });
}

// The task's files go at once; the task itself when its entry is handed on.
void CatalogueCheck::finish(Task& t) {
    if (!t.zip.fileName().isEmpty())
        QFile::remove(t.zip.fileName());
    if (!t.folder.isEmpty())
        QDir(t.folder).removeRecursively();
    t.done = true;
    --m_running;
    if (m_wake)
        m_wake();
}
