#include "DemoServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

DemoServer::DemoServer(QString root, QObject* parent)
    : QObject(parent), m_root(std::move(root)), m_server(new QTcpServer(this)) {
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
    socket->write(head + body);
    socket->disconnectFromHost();
    fprintf(stderr, "%s %s\n", status.mid(9, 3).constData(), qPrintable(path));
}
