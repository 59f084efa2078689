#pragma once

#include <QObject>
#include <QString>

class QTcpServer;
class QTcpSocket;

// A small static web server for the demo world's htdocs on 127.0.0.1. GET only; every answer
// carries Content-Length and closes the connection. In .dat and .htm files the text {{BASE}} is
// replaced by the server's base URL, so the world works on whatever port it is served. ZIP files
// go out at zipRateKBps (0: as fast as possible) so the download window can be watched.
class DemoServer : public QObject {
    Q_OBJECT
public:
    explicit DemoServer(QString root, int zipRateKBps = 0, QObject* parent = nullptr);
    bool listen(quint16 port);
    QString baseUrl() const;

private:
    void onNewConnection();
    void answer(QTcpSocket* socket, const QByteArray& requestLine);

    void sendSlowly(QTcpSocket* socket, QByteArray body);

    QString m_root;
    int m_zipRateKBps;
    QTcpServer* m_server;
};
