#include "core/catalogue/FetchFile.h"

#include "core/session/AppContext.h"
#include "platform/MessageBoxService.h"
#include "platform/ProgramEnd.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QSaveFile>
#include <QUrl>
#include <mutex>

namespace FetchRules {

QString headerText(int code, const QString& reason,
                   const QList<QPair<QByteArray, QByteArray>>& headers) {
    QString text = QStringLiteral("HTTP/1.1 ") + QString::number(code) + u' ' + reason +
                   QStringLiteral("\r\n");
    for (const auto& h : headers)
        text += QString::fromLatin1(h.first) + QStringLiteral(": ") +
                QString::fromLatin1(h.second) + QStringLiteral("\r\n");
    return text;
}

QString statusOf(const QString& headerText) {
    return headerText.mid(9, 3);
}

QString unrecognisedMessage(const QString& headerText) {
    const qsizetype cr = headerText.indexOf(u'\r');
    const QString firstLine = cr < 0 ? QString() : headerText.left(cr + 1);
    return QStringLiteral("The server returned an unrecongonzied response.\r\n\r\n") + firstLine +
           QStringLiteral("\r\n");
}

QString noConnectionMessage() {
    return QStringLiteral(
        "Cannot establish connection.\r\r\nCheck your Internet connection and try again.\r\n");
}

QString failureMessage(const QString& headerText) {
    const QString status = statusOf(headerText);
    if (status == QLatin1String("401"))
        return QStringLiteral("Authorization failed!\r\n");
    if (status == QLatin1String("404"))
        return QStringLiteral("The file was not found!\r\n");
    if (status == QLatin1String("\r\n"))
        return noConnectionMessage();
    return unrecognisedMessage(headerText);
}

} // namespace FetchRules

namespace {

const QString kErrorTitle = QStringLiteral("Error");
constexpr int kErrorStyle = 16;

bool programEnded(const AppContext& ctx) {
    return ctx.programEnd && ctx.programEnd->ended();
}

void useSystemProxyOnce() {
    static std::once_flag once;
    std::call_once(once, [] { QNetworkProxyFactory::setUseSystemConfiguration(true); });
}

// Null when the policy does not allow the address: nothing is asked of anyone.
// A reply the policy stops ends the caller's wait as a finished one would.
QNetworkReply* startGet(AppContext& ctx, const QString& url, QEventLoop& loop) {
    NetworkPolicy::Limits limits;
    limits.maxBytes = FetchRules::kMaxBodyBytes;
    limits.onStop = [&loop] { loop.quit(); };
    return NetworkPolicy::get(*ctx.network, QUrl(url, QUrl::TolerantMode), limits);
}

// Runs the caller's local event loop until the reply has finished, something quit the loop, or
// the program has ended.
void waitFor(AppContext& ctx, QNetworkReply* reply, QEventLoop& loop) {
    if (NetworkPolicy::ended(reply) || programEnded(ctx))
        return;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (ctx.programEnd)
        QObject::connect(ctx.programEnd, &ProgramEnd::programEnded, &loop, &QEventLoop::quit);
    loop.exec();
}

// Lets go of a reply at once; one still running is cancelled (a body not wanted is not read on
// into memory while the program goes on).
void release(QNetworkReply* reply) {
    NetworkPolicy::discard(reply);
}

bool hasStatus(const QNetworkReply* reply) {
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
}

QString headerTextOf(const QNetworkReply* reply) {
    if (!hasStatus(reply))
        return QString();
    return FetchRules::headerText(
        reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
        QString::fromLatin1(
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray()),
        reply->rawHeaderPairs());
}

enum class MainResult { Written, Failed, Oversize, Insecure, Ended };

// The main path: the whole body in one request, written over the file in one go.
MainResult mainPath(AppContext& ctx, const QString& url, const QString& fileName, QString& header) {
    QCoreApplication::processEvents();
    if (programEnded(ctx))
        return MainResult::Ended;
    QEventLoop loop;
    QNetworkReply* reply = startGet(ctx, url, loop);
    if (!reply)
        return MainResult::Failed;
    waitFor(ctx, reply, loop);
    if (programEnded(ctx)) {
        release(reply);
        return MainResult::Ended;
    }
    header = headerTextOf(reply);
    const QNetworkReply::NetworkError error = reply->error();
    const NetworkPolicy::Stop stop = NetworkPolicy::stopOf(reply);
    if (error == QNetworkReply::SslHandshakeFailedError) {
        header = NetworkPolicy::certificateMessage(NetworkPolicy::certificateErrors(reply));
        release(reply);
        return MainResult::Insecure;
    }
    const QByteArray body =
        (stop != NetworkPolicy::Stop::None || error != QNetworkReply::NoError) ? QByteArray()
                                                                               : reply->readAll();
    release(reply);
    if (stop == NetworkPolicy::Stop::TooLarge)
        return MainResult::Oversize;
    if (error != QNetworkReply::NoError || body.isEmpty())
        return MainResult::Failed;

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return MainResult::Failed;
    if (file.write(body) != body.size()) {
        file.cancelWriting();
        return MainResult::Failed;
    }
    return file.commit() ? MainResult::Written : MainResult::Failed;
}

struct Probe {
    enum Kind { Ended, NoResponse, Unreadable, Answered } kind = NoResponse;
    QString header;
};

// The failure path: asks again and keeps only the answer's status line and headers.
Probe failurePath(AppContext& ctx, const QString& url) {
    QCoreApplication::processEvents();
    if (programEnded(ctx))
        return {Probe::Ended, {}};
    QEventLoop loop;
    QNetworkReply* reply = startGet(ctx, url, loop);
    if (!reply)
        return {Probe::NoResponse, {}};
    QString header;
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, [reply, &header, &loop] {
        if (!header.isEmpty() || !hasStatus(reply))
            return;
        const int code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (code >= 300 && code < 400 && reply->hasRawHeader("Location"))
            return; // followed; the final answer is the one that counts
        header = headerTextOf(reply);
        loop.quit(); // the body is not wanted
    });
    waitFor(ctx, reply, loop);
    if (programEnded(ctx)) {
        release(reply);
        return {Probe::Ended, {}};
    }
    // A redirect the policy refused ends like a malformed address: no response.
    if (NetworkPolicy::stopOf(reply) == NetworkPolicy::Stop::RedirectRefused) {
        release(reply);
        return {Probe::NoResponse, {}};
    }
    if (header.isEmpty())
        header = headerTextOf(reply);
    const QNetworkReply::NetworkError error = reply->error();
    release(reply);
    if (!header.isEmpty())
        return {Probe::Answered, header};
    // Something came back but it was not HTTP: a response the program cannot read. (Qt reports
    // a reply without any status line as a closed connection, which counts as no response.)
    if (error == QNetworkReply::ProtocolFailure || error == QNetworkReply::UnknownContentError)
        return {Probe::Unreadable, {}};
    return {Probe::NoResponse, {}};
}

bool fail(AppContext& ctx, const QString& text) {
    ctx.prompts->show(text, kErrorTitle, kErrorStyle);
    return false;
}

} // namespace

bool FetchFile(AppContext& ctx, const QString& url, const QString& fileName) {
    useSystemProxyOnce();
    QString lastHeader;
    for (int attempt = 0; attempt < FetchRules::kMaxAttempts; ++attempt) {
        QString header;
        switch (mainPath(ctx, url, fileName, header)) {
        case MainResult::Written:
            return true;
        case MainResult::Ended:
            return false;
        case MainResult::Oversize:
            return fail(ctx, FetchRules::unrecognisedMessage(header));
        case MainResult::Insecure:
            return fail(ctx, header);
        case MainResult::Failed:
            break;
        }
        const Probe probe = failurePath(ctx, url);
        switch (probe.kind) {
        case Probe::Ended:
            return false;
        case Probe::NoResponse:
            return fail(ctx, FetchRules::noConnectionMessage());
        case Probe::Unreadable:
            return fail(ctx, FetchRules::failureMessage(QString()));
        case Probe::Answered:
            break;
        }
        if (FetchRules::statusOf(probe.header) != QLatin1String("200"))
            return fail(ctx, FetchRules::failureMessage(probe.header));
        // The server says all is well although the fetch failed: try the whole fetch again.
        lastHeader = probe.header;
    }
    return fail(ctx, FetchRules::unrecognisedMessage(lastHeader));
}
