#include "core/download/HttpTransfer.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QUrl>

namespace {

bool isRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 305 || status == 307 ||
           status == 308;
}

} // namespace

HttpTransfer::HttpTransfer(QNetworkAccessManager* network, QObject* parent)
    : QObject(parent), m_network(network) {}

HttpTransfer::~HttpTransfer() {
    Cancel();
}

bool HttpTransfer::Execute() {
    Cancel();
    m_error.clear();
    m_headerReceived = false;
    m_failedToStart = false;
    QUrl url(m_url, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!m_network || !url.isValid() || url.isRelative() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        m_error = QStringLiteral("URL is malformed");
        m_failedToStart = true;
        return false;
    }
    if (!m_userName.isEmpty())
        url.setUserName(m_userName);
    if (!m_password.isEmpty())
        url.setPassword(m_password);
    QNetworkRequest request(url);
    // The body is counted against "Content-Length", so it must arrive as sent.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setTransferTimeout(kTransferTimeoutMs);
    m_reply = m_network->get(request);
    m_reply->setReadBufferSize(kReadBufferSize);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpTransfer::onMetaData);
    return true;
}

void HttpTransfer::onMetaData() {
    if (!m_reply)
        return;
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return;
    // A redirect that is being followed is not the answer yet.
    if (isRedirect(status.toInt()) &&
        m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid() &&
        !m_reply->isFinished())
        return;
    m_headerReceived = true;
}

bool HttpTransfer::StillExecuting() const {
    if (!m_reply)
        return false;
    return !m_headerReceived && !m_reply->isFinished();
}

bool HttpTransfer::noResponse() const {
    if (m_failedToStart || !m_reply || !m_reply->isFinished())
        return false;
    return !m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid() &&
           m_reply->error() != QNetworkReply::NoError &&
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

void HttpTransfer::waitForEvents() {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

QByteArray HttpTransfer::GetChunk(qint64 maxBytes, const std::function<bool()>& stop) {
    if (!m_reply || maxBytes <= 0)
        return QByteArray();
    while (m_reply && m_reply->bytesAvailable() < maxBytes && !m_reply->isFinished()) {
        if (stop && stop())
            break;
        waitForEvents();
    }
    if (!m_reply)
        return QByteArray();
    return m_reply->read(maxBytes);
}

void HttpTransfer::Cancel() {
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    disconnect(reply, nullptr, this, nullptr);
    // A reply that has already failed (an HTTP error status) is dropped without a second error.
    if (!reply->isFinished() && reply->error() == QNetworkReply::NoError)
        reply->abort();
    reply->deleteLater();
}
