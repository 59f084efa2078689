#include "platform/NetworkPolicy.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QTimer>
#include <QUrl>
#include <atomic>

namespace NetworkPolicy {

namespace {

std::atomic<int> g_stallWindowMs{0};

const char kWatchName[] = "kavro-network-policy";

bool isHttps(const QUrl& url) {
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

// Follows one reply for the policy: its window, its cap, its redirects and its certificate.
class Watch : public QObject {
public:
    Watch(QNetworkReply* reply, const QUrl& url, const Limits& limits)
        : QObject(reply), m_reply(reply), m_maxBytes(limits.maxBytes),
          m_secure(isHttps(url)), m_onStop(limits.onStop) {
        setObjectName(QLatin1String(kWatchName));
        m_window.setInterval(limits.stallWindowMs > 0 ? limits.stallWindowMs : stallWindowMs());
        connect(&m_window, &QTimer::timeout, this, &Watch::windowEnded);
        connect(reply, &QNetworkReply::metaDataChanged, this, &Watch::metaData);
        connect(reply, &QNetworkReply::downloadProgress, this, &Watch::progress);
        connect(reply, &QNetworkReply::redirected, this, &Watch::redirected);
        connect(reply, &QNetworkReply::sslErrors, this,
                [this](const QList<QSslError>& errors) { m_sslErrors = errors; });
        connect(reply, &QNetworkReply::finished, this, &Watch::finished);
        m_window.start();
    }

    Stop stop() const { return m_stop; }
    QList<QSslError> sslErrors() const { return m_sslErrors; }

private:
    void halt(Stop why) {
        if (m_stop != Stop::None)
            return;
        m_stop = why;
        m_window.stop();
        if (m_onStop)
            m_onStop();
    }

    void metaData() {
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (m_maxBytes > 0 && length.isValid() && length.toLongLong() > m_maxBytes) {
            halt(Stop::TooLarge);
            return;
        }
        // The answer's header is a sign of life: its body gets a whole window.
        m_windowStart = m_received;
        m_window.start();
    }

    void progress(qint64 received, qint64) {
        if (m_stop != Stop::None)
            return;
        m_received = received;
        if (m_maxBytes > 0 && received > m_maxBytes)
            halt(Stop::TooLarge);
    }

    void windowEnded() {
        if (m_reply->isFinished() || m_stop != Stop::None) {
            m_window.stop();
            return;
        }
        const qint64 buffer = m_reply->readBufferSize();
        const bool waitingForUs = buffer > 0 && m_reply->bytesAvailable() >= buffer;
        if (m_received - m_windowStart < kMinBytesPerWindow && !waitingForUs) {
            halt(Stop::TooSlow);
            return;
        }
        m_windowStart = m_received;
    }

    void redirected(const QUrl& target) {
        if (!allows(target) || (m_secure && !isHttps(target))) {
            halt(Stop::RedirectRefused);
            return;
        }
        m_secure = isHttps(target);
        Q_EMIT m_reply->redirectAllowed();
    }

    void finished() {
        m_window.stop();
        if (m_stop != Stop::None)
            return;
        // Qt itself refuses a redirect to a scheme it cannot speak before asking us.
        const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QNetworkReply::NetworkError e = m_reply->error();
        if (status >= 300 && status < 400 &&
            (e == QNetworkReply::ProtocolUnknownError ||
             e == QNetworkReply::InsecureRedirectError))
            m_stop = Stop::RedirectRefused;
    }

    QNetworkReply* m_reply;
    QTimer m_window;
    qint64 m_maxBytes;
    qint64 m_received = 0;
    qint64 m_windowStart = 0;
    bool m_secure;
    Stop m_stop = Stop::None;
    QList<QSslError> m_sslErrors;
    std::function<void()> m_onStop;
};

const Watch* watchOf(const QNetworkReply* reply) {
    if (!reply)
        return nullptr;
    return static_cast<const Watch*>(reply->findChild<QObject*>(
        QLatin1String(kWatchName), Qt::FindDirectChildrenOnly));
}

} // namespace

int stallWindowMs() {
    const int ms = g_stallWindowMs.load();
    return ms > 0 ? ms : kStallWindowMs;
}

void setStallWindowMs(int ms) {
    g_stallWindowMs.store(ms);
}

bool allows(const QUrl& url) {
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool allows(const QString& address) {
    return allows(QUrl(address, QUrl::TolerantMode));
}

QNetworkReply* get(QNetworkAccessManager& network, const QUrl& url, const Limits& limits,
                   const Headers& headers) {
    if (!allows(url))
        return nullptr;
    QNetworkRequest request(url);
    for (const auto& header : headers)
        request.setRawHeader(header.first, header.second);
    // Without content coding the bytes counted are the bytes that arrive: a compressed body that
    // would inflate a thousandfold stays the size it was sent.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    QNetworkReply* reply = network.get(request);
    if (limits.readBufferSize > 0)
        reply->setReadBufferSize(limits.readBufferSize);
    new Watch(reply, url, limits);
    return reply;
}

Stop stopOf(const QNetworkReply* reply) {
    const Watch* watch = watchOf(reply);
    return watch ? watch->stop() : Stop::None;
}

bool ended(const QNetworkReply* reply) {
    return reply && (reply->isFinished() || stopOf(reply) != Stop::None);
}

QList<QSslError> certificateErrors(const QNetworkReply* reply) {
    const Watch* watch = watchOf(reply);
    if (!watch || reply->error() != QNetworkReply::SslHandshakeFailedError)
        return {};
    return watch->sslErrors();
}

QString certificateMessage(const QList<QSslError>& errors) {
    QStringList problems;
    for (const QSslError& e : errors)
        if (!problems.contains(e.errorString()))
            problems.append(e.errorString());
    if (problems.isEmpty())
        problems.append(QStringLiteral("the secure connection could not be set up"));
    return QStringLiteral("Cannot establish a secure connection.\r\r\n"
                          "The server's certificate could not be verified: ") +
           problems.join(QStringLiteral("; ")) + QStringLiteral(".\r\n");
}

void discard(QNetworkReply* reply) {
    // Deleting the reply closes its connection and drops whatever it still had queued, without
    // the second error an abort of an already failing reply would report.
    delete reply;
}

} // namespace NetworkPolicy
