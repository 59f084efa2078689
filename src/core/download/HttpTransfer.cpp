#include "core/download/HttpTransfer.h"

#include "platform/NetworkPolicy.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QUrl>

namespace {

const QString kMalformed = QStringLiteral("URL is malformed");

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 305 || status == 307 ||
           status == 308;
}

} // namespace

HttpTransfer::HttpTransfer(QNetworkAccessManager* network, QObject* parent)
    : QObject(parent), m_network(network), m_maxBytes(NetworkPolicy::kCarMaxBytes) {}

int HttpTransfer::timeout() const {
    return m_windowMs > 0 ? m_windowMs : NetworkPolicy::stallWindowMs();
}

HttpTransfer::~HttpTransfer() {
    Cancel();
}

bool HttpTransfer::Execute() {
    Cancel();
    m_error.clear();
    m_headerReceived = false;
    m_failedToStart = false;
    QUrl url(m_url, QUrl::TolerantMode);
    if (!m_network || !NetworkPolicy::allows(url)) {
        m_error = kMalformed;
        m_failedToStart = true;
        return false;
    }
    if (!m_userName.isEmpty())
        url.setUserName(m_userName);
    if (!m_password.isEmpty())
        url.setPassword(m_password);
    NetworkPolicy::Limits limits;
    limits.readBufferSize = kReadBufferSize;
    limits.stallWindowMs = m_windowMs;
    limits.maxBytes = m_maxBytes;
    NetworkPolicy::Headers headers;
    if (m_rangeFrom > 0) {
        headers.append({"Range", "bytes=" + QByteArray::number(m_rangeFrom) + '-'});
        if (!m_rangeValidator.isEmpty())
            headers.append({"If-Range", m_rangeValidator});
    }
    m_reply = NetworkPolicy::get(*m_network, url, limits, headers);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpTransfer::onMetaData);
    return true;
}

QString HttpTransfer::errorDescription() const {
    return redirectRefused() ? kMalformed : m_error;
}

bool HttpTransfer::redirectRefused() const {
    return m_reply && NetworkPolicy::stopOf(m_reply) == NetworkPolicy::Stop::RedirectRefused;
}

QString HttpTransfer::certificateProblem() const {
    if (!m_reply || !m_reply->isFinished())
        return QString();
    if (m_reply->error() != QNetworkReply::SslHandshakeFailedError)
        return QString();
    return NetworkPolicy::certificateMessage(NetworkPolicy::certificateErrors(m_reply));
}

void HttpTransfer::onMetaData() {
    if (!m_reply)
        return;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return;
    // A redirect is not the answer yet: it is followed, or the transfer ends when the policy
    // refuses it.
    if (isRedirect(status.toInt()) && m_reply->hasRawHeader("Location") &&
        !NetworkPolicy::ended(m_reply))
        return;
    m_headerReceived = true;
}

bool HttpTransfer::StillExecuting() const {
    if (!m_reply)
        return false;
    return !m_headerReceived && !NetworkPolicy::ended(m_reply);
}

bool HttpTransfer::noResponse() const {
    if (m_failedToStart || !NetworkPolicy::ended(m_reply))
        return false;
    if (m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        return false;
    // Silence before any answer, stopped by the policy, counts as no response.
    if (NetworkPolicy::stopOf(m_reply) == NetworkPolicy::Stop::TooSlow)
        return true;
    return m_reply->error() != QNetworkReply::NoError &&
           m_reply->error() != QNetworkReply::ProtocolFailure;
}

QString HttpTransfer::GetHeader() const {
    if (!m_reply)
        return QString();
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return QString();
    QString text = QStringLiteral("HTTP/1.1 ") + QString::number(status.toInt());
    const QString reason =
        m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    if (!reason.isEmpty())
        text += QLatin1Char(' ') + reason;
    text += QStringLiteral("\r\n");
    for (const auto& pair : m_reply->rawHeaderPairs())
        text += QString::fromLatin1(pair.first) + QStringLiteral(": ") +
                QString::fromLatin1(pair.second) + QStringLiteral("\r\n");
    return text;
}

QString HttpTransfer::GetHeader(const QString& name) const {
    if (!m_reply)
        return QString();
    return QString::fromLatin1(m_reply->rawHeader(name.toLatin1()));
}

int HttpTransfer::ResponseCode() const {
    if (!m_reply)
        return 0;
    const QNetworkReply::NetworkError e = m_reply->error();
    // Errors that only restate the HTTP status (401, 404, 500...) are not transfer failures.
    if (e == QNetworkReply::NoError ||
        (e >= QNetworkReply::ContentAccessDenied && e <= QNetworkReply::UnknownContentError) ||
        (e >= QNetworkReply::InternalServerError && e <= QNetworkReply::UnknownServerError))
        return 0;
    return int(e);
}

bool HttpTransfer::stalled() const {
    return m_reply && NetworkPolicy::stopOf(m_reply) == NetworkPolicy::Stop::TooSlow;
}

bool HttpTransfer::hasArrived() const {
    return m_reply && m_reply->isOpen() && m_reply->bytesAvailable() > 0;
}

void HttpTransfer::waitForEvents() {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

QByteArray HttpTransfer::GetChunk(qint64 maxBytes, const std::function<bool()>& stop) {
    QByteArray chunk;
    GetChunk(chunk, maxBytes, stop);
    return chunk;
}

void HttpTransfer::GetChunk(QByteArray& chunk, qint64 maxBytes, const std::function<bool()>& stop) {
    read(chunk, maxBytes, maxBytes, stop);
}

void HttpTransfer::GetArrived(QByteArray& chunk, qint64 maxBytes,
                              const std::function<bool()>& stop) {
    read(chunk, maxBytes, 1, stop);
}

// Waits (handling events) until waitFor bytes have arrived, the body has ended or stop says so,
// then reads what has arrived, at most maxBytes.
void HttpTransfer::read(QByteArray& chunk, qint64 maxBytes, qint64 waitFor,
                        const std::function<bool()>& stop) {
    chunk.resize(0);
    if (!m_reply || maxBytes <= 0)
        return;
    while (m_reply && m_reply->bytesAvailable() < waitFor && !NetworkPolicy::ended(m_reply)) {
        if (stop && stop())
            break;
        waitForEvents();
    }
    if (!m_reply || !m_reply->isOpen() ||
        NetworkPolicy::stopOf(m_reply) != NetworkPolicy::Stop::None)
        return; // aborted or stopped: nothing more to read
    chunk.resize(qMin(maxBytes, m_reply->bytesAvailable()));
    const qint64 n = m_reply->read(chunk.data(), chunk.size());
    chunk.resize(n > 0 ? n : 0);
}

void HttpTransfer::Cancel() {
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    // Deleted rather than aborted: an answer such as a 404 may already have its error queued, and
    // an abort on top of it is a second error for the same reply.
    NetworkPolicy::discard(reply);
}
