#include "FakeHttpServer.h"

#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <limits>

namespace {

// Sends one response body, in slow chunks or as fast as the socket takes it.
class BodySender : public QObject {
public:
    BodySender(QTcpSocket* socket, const FakeResponse& r)
        : QObject(socket), m_socket(socket), m_r(r) {
        if (!r.bodyFile.isEmpty()) {
            m_file.setFileName(r.bodyFile);
            m_file.open(QIODevice::ReadOnly);
        }
        connect(socket, &QTcpSocket::bytesWritten, this, [this] {
            if (m_r.chunkDelayMs <= 0)
                pump();
        });
        if (m_r.chunkDelayMs > 0 && m_r.chunkSize > 0) {
            auto* t = new QTimer(this);
            t->setInterval(m_r.chunkDelayMs);
            connect(t, &QTimer::timeout, this, [this] { pump(); });
            t->start();
        }
        QTimer::singleShot(0, this, [this] { pump(); });
    }

private:
    qint64 total() const {
        if (m_r.endless)
            return std::numeric_limits<qint64>::max();
        return m_file.isOpen() ? m_file.size() : m_r.body.size();
    }
    QByteArray read(qint64 n) {
        if (m_file.isOpen())
            return m_file.read(n);
        if (m_r.endless) {
            QByteArray piece;
            while (piece.size() < n && !m_r.body.isEmpty())
                piece += m_r.body.mid((m_sent + piece.size()) % m_r.body.size(), n - piece.size());
            return piece;
        }
        return m_r.body.mid(m_sent, n);
    }
    void send(const QByteArray& piece) {
        if (!m_r.chunked) {
            m_socket->write(piece);
            return;
        }
        m_socket->write(QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n");
    }
    void pump() {
        if (m_done || !m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
            return;
        const bool slow = m_r.chunkDelayMs > 0 && m_r.chunkSize > 0;
        if (!slow && m_socket->bytesToWrite() > 256 * 1024)
            return;
        qint64 n = slow ? m_r.chunkSize : 64 * 1024;
        if (m_r.dropAfterBytes >= 0)
            n = qMin(n, m_r.dropAfterBytes - m_sent);
        n = qMin(n, total() - m_sent);
        if (n > 0) {
            send(read(n));
            m_sent += n;
        }
        const bool dropNow = m_r.dropAfterBytes >= 0 && m_sent >= m_r.dropAfterBytes;
        if (dropNow && m_r.stallAtDrop) {
            m_done = true; // silent from here on, the connection left open
            return;
        }
        if (m_sent >= total() || dropNow) {
            m_done = true;
            if (m_r.chunked && !dropNow)
                m_socket->write("0\r\n\r\n");
            m_socket->flush();
            if (dropNow)
                m_socket->abort();
            else
                m_socket->disconnectFromHost();
        }
    }

    QPointer<QTcpSocket> m_socket;
    FakeResponse m_r;
    QFile m_file;
    qint64 m_sent = 0;
    bool m_done = false;
};

} // namespace

FakeHttpServer::FakeHttpServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this)) {
    connect(m_server, &QTcpServer::newConnection, this, &FakeHttpServer::onNewConnection);
}

bool FakeHttpServer::listenTls(const QSslConfiguration& configuration) {
    auto* server = new QSslServer(this);
    server->setSslConfiguration(configuration);
    // A TLS connection is pending only once its handshake is done.
    connect(server, &QTcpServer::pendingConnectionAvailable, this,
            &FakeHttpServer::onNewConnection);
    delete m_server;
    m_server = server;
    m_tls = true;
    return m_server->listen(QHostAddress::LocalHost, 0);
}

QSslConfiguration FakeHttpServer::selfSignedTls(const QString& dir, QString* error) {
    const QString key = dir + QStringLiteral("/test-only.key");
    const QString cert = dir + QStringLiteral("/test-only.crt");
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                   QStringLiteral("-keyout"), key, QStringLiteral("-out"), cert});
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        *error = QStringLiteral("openssl could not make a test certificate: ") +
                 QString::fromLocal8Bit(openssl.readAll()) + openssl.errorString();
        return QSslConfiguration();
    }
    QFile keyFile(key);
    QFile certFile(cert);
    if (!keyFile.open(QIODevice::ReadOnly) || !certFile.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the test certificate cannot be read");
        return QSslConfiguration();
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(QSslCertificate(certFile.readAll(), QSsl::Pem));
    configuration.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa, QSsl::Pem));
    configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
    return configuration;
}

FakeHttpServer::~FakeHttpServer() = default;

bool FakeHttpServer::listen() {
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 FakeHttpServer::closedPort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    const quint16 port = s.serverPort();
    s.close();
    return port;
}

quint16 FakeHttpServer::port() const {
    return m_server->serverPort();
}

QString FakeHttpServer::baseUrl() const {
    return (m_tls ? QStringLiteral("https://127.0.0.1:%1") : QStringLiteral("http://127.0.0.1:%1"))
        .arg(port());
}

void FakeHttpServer::route(const QString& path, const FakeResponse& response) {
    m_routes.insert(path, response);
}

void FakeHttpServer::routeFile(const QString& path, const QString& file) {
    FakeResponse r;
    r.bodyFile = file;
    m_routes.insert(path, r);
}

void FakeHttpServer::onNewConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        auto* buffer = new QByteArray(""); // empty but not null: null marks "answered"
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QObject::destroyed, [buffer] { delete buffer; });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer] {
            if (buffer->isNull())
                return; // already answered
            buffer->append(socket->readAll());
            const qsizetype end = buffer->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QList<QByteArray> requestLine = buffer->left(buffer->indexOf("\r\n")).split(' ');
            const QByteArray head = buffer->left(end);
            *buffer = QByteArray();
            const QString path =
                requestLine.size() >= 2 ? QString::fromLatin1(requestLine[1]) : QString();
            m_requests.append(path);
            answer(socket, path, head);
        });
    }
}

void FakeHttpServer::answer(QTcpSocket* socket, const QString& path, const QByteArray& request) {
    FakeResponse r;
    const QString plain = QUrl(path).path();
    if (m_routes.contains(path))
        r = m_routes.value(path);
    else if (m_routes.contains(plain))
        r = m_routes.value(plain);
    else
        r = FakeResponse::status("HTTP/1.1 404 Not Found", "<html>Not Found</html>");
    if (r.dropTimes >= 0 && m_answers[plain]++ >= r.dropTimes)
        r.dropAfterBytes = -1;
    const int nth = m_answered[plain]++;
    if (!r.cuts.isEmpty())
        r.dropAfterBytes = r.cuts.value(nth, -1);
    if (nth > 0 && !r.laterStatusLine.isEmpty()) {
        r.statusLine = r.laterStatusLine;
        r.body = "error";
        r.range = FakeResponse::Range::Ignore;
    }

    static const QRegularExpression rangeHeader(QStringLiteral("\r\nRange: *([^\r]*)"),
                                                QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression ifRangeHeader(QStringLiteral("\r\nIf-Range: *([^\r]*)"),
                                                  QRegularExpression::CaseInsensitiveOption);
    const QString range = rangeHeader.match(QString::fromLatin1(request)).captured(1);
    m_ranges.append(range);
    m_ifRanges.append(ifRangeHeader.match(QString::fromLatin1(request)).captured(1));
    static const QRegularExpression fromByte(QStringLiteral("^bytes=(\\d+)-$"));
    const qint64 from = fromByte.match(range).captured(1).toLongLong();
    const qint64 whole = r.body.size();
    if (r.range != FakeResponse::Range::Ignore && from > 0 && from < whole) {
        const bool honour = r.range == FakeResponse::Range::Honour;
        r.statusLine = "HTTP/1.1 206 Partial Content";
        r.headers.append({"Content-Range", "bytes " + QByteArray::number(honour ? from : 0) + '-' +
                                               QByteArray::number(whole - 1) + '/' +
                                               QByteArray::number(whole)});
        if (honour)
            r.body = r.body.mid(from);
        if (!r.partETag.isEmpty()) {
            r.headers.removeIf([](const auto& h) { return h.first.toLower() == "etag"; });
            r.headers.append({"ETag", r.partETag});
        }
    }
    if (r.cutChance > 0 && QRandomGenerator::global()->generateDouble() < r.cutChance)
        r.dropAfterBytes = QRandomGenerator::global()->bounded(qMax<qint64>(r.body.size(), 1));

    if (r.dropWithoutResponse) {
        socket->abort();
        return;
    }
    qint64 bodyLength = r.body.size();
    if (!r.bodyFile.isEmpty())
        bodyLength = QFile(r.bodyFile).size();
    QByteArray head = r.statusLine + "\r\n";
    for (const auto& h : r.headers)
        head += h.first + ": " + h.second + "\r\n";
    if (r.chunked)
        head += "Transfer-Encoding: chunked\r\n";
    if (r.sendContentLength)
        head += "Content-Length: " +
                QByteArray::number(r.contentLength >= 0 ? r.contentLength : bodyLength) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    if (r.noBody) {
        socket->disconnectFromHost();
        return;
    }
    new BodySender(socket, r);
}
