#include "DemoServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <memory>

DemoServer::DemoServer(QString root, int zipRateKBps, QObject* parent)
    : QObject(parent), m_root(std::move(root)), m_zipRateKBps(zipRateKBps),
      m_server(new QTcpServer(this)) {
    connect(m_server, &QTcpServer::newConnection, this, &DemoServer::onNewConnection);
}

bool DemoServer::listen(quint16 port) { return m_server->listen(QHostAddress::LocalHost, port); }

QString DemoServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort());
}

void DemoServer::onNewConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (socket->property("answered").toBool())
                return;
            QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
            if (!buffer.contains("\r\n\r\n")) {
                socket->setProperty("buffer", buffer);
                return;
            }
            socket->setProperty("answered", true);
            answer(socket, buffer.left(buffer.indexOf("\r\n")));
        });
    }
}

void DemoServer::answer(QTcpSocket* socket, const QByteArray& requestLine) {
    const QList<QByteArray> parts = requestLine.split(' ');
    const QString path =
        parts.size() >= 2 ? QUrl(QString::fromLatin1(parts[1])).path() : QString();
    const QString clean = QDir::cleanPath(QStringLiteral("/") + path);
    const QString file = m_root + clean;
    QByteArray status = "HTTP/1.1 200 OK";
    QByteArray body;
    QByteArray type = "application/octet-stream";
    QFileInfo info(file);
    QFile f(file);
    if (parts.value(0) != "GET") {
        status = "HTTP/1.1 405 Method Not Allowed";
        body = "<html><body>Method not allowed</body></html>";
        type = "text/html";
    } else if (!info.isFile() || !f.open(QIODevice::ReadOnly)) {
        status = "HTTP/1.1 404 Not Found";
        body = "<html><body>Not found</body></html>";
        type = "text/html";
    } else {
        body = f.readAll();
        const QString suffix = info.suffix().toLower();
        if (suffix == QLatin1String("dat") || suffix == QLatin1String("htm")) {
            body.replace("{{BASE}}", baseUrl().toLatin1());
            type = suffix == QLatin1String("htm") ? "text/html" : "text/plain";
        } else if (suffix == QLatin1String("png")) {
            type = "image/png";
        } else if (suffix == QLatin1String("zip")) {
            type = "application/zip";
        }
    }
    QByteArray head = status + "\r\nContent-Type: " + type +
                      "\r\nContent-Length: " + QByteArray::number(body.size()) +
                      "\r\nConnection: close\r\n\r\n";
    fprintf(stderr, "%s %s\n", status.mid(9, 3).constData(), qPrintable(path));
    socket->write(head);
    if (type == "application/zip" && m_zipRateKBps > 0) {
        sendSlowly(socket, body);
        return;
    }
    socket->write(body);
    socket->disconnectFromHost();
}

void DemoServer::sendSlowly(QTcpSocket* socket, QByteArray body) {
    // A tenth of the rate every 100 ms, until the body is out or the client has gone.
    auto* timer = new QTimer(socket);
    const qsizetype piece = qMax<qsizetype>(1, qsizetype(m_zipRateKBps) * 1024 / 10);
    auto sent = std::make_shared<qsizetype>(0);
    connect(timer, &QTimer::timeout, socket, [socket, timer, body, piece, sent] {
        if (socket->state() != QAbstractSocket::ConnectedState) {
            timer->stop();
            return;
        }
        socket->write(body.mid(*sent, piece));
        *sent += piece;
        if (*sent >= body.size()) {
            timer->stop();
            socket->disconnectFromHost();
        }
    });
    timer->start(100);
}
