#pragma once

#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

// A small static web server for the demo world's htdocs on 127.0.0.1. GET only; every answer
// carries Content-Length and closes the connection. In .dat and .htm files the text {{BASE}} is
// replaced by the server's base URL, so the world works on whatever port it is served.
class DemoServer : public QObject {
    Q_OBJECT
public:
    explicit DemoServer(QString root, QObject* parent = nullptr);
    bool listen(quint16 port);
    QString baseUrl() const;

private:
    void onNewConnection();
    void answer(QTcpSocket* socket, const QByteArray& requestLine);

    QString m_root;
    QTcpServer* m_server;
};
