#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

class QTcpServer;
class QTcpSocket;

// What the fake server answers for one path.
struct FakeResponse {
    QByteArray statusLine = "HTTP/1.1 200 OK";
    QList<QPair<QByteArray, QByteArray>> headers; // extra headers, sent as given
    QByteArray body;
    QString bodyFile;                // stream the body from this file instead (large bodies)
    bool sendContentLength = true;   // false: no "Content-Length" header
    qint64 contentLength = -1;       // >= 0: announce this length whatever the body is (a lie)
    int chunkSize = 0;               // > 0 with chunkDelayMs: send the body slowly
    int chunkDelayMs = 0;
    qint64 dropAfterBytes = -1;      // >= 0: close the connection after this many body bytes
    bool dropWithoutResponse = false; // close the connection at once, no status line at all
    bool noBody = false;             // headers only (for a 0-length body use body = "")

    static FakeResponse ok(const QByteArray& body) {
        FakeResponse r;
        r.body = body;
        return r;
    }
    static FakeResponse status(const QByteArray& statusLine, const QByteArray& body = "error") {
        FakeResponse r;
        r.statusLine = statusLine;
        r.body = body;
        return r;
    }
};

// A small HTTP/1.1 server on 127.0.0.1 for tests: any status line and headers, missing or lying
// "Content-Length", slow bodies, dropped connections. Every connection is closed after its
// answer ("Connection: close"). Paths without a route get 404. Runs in the test's thread: it
// answers while the code under test waits in an event loop.
class FakeHttpServer : public QObject {
    Q_OBJECT
public:
    explicit FakeHttpServer(QObject* parent = nullptr);
    ~FakeHttpServer() override;

    bool listen();                // on a free loopback port
    // A loopback port on which nothing listens (a connection there is refused).
    static quint16 closedPort();
    quint16 port() const;
    QString baseUrl() const;      // "http://127.0.0.1:<port>" (no trailing slash)
    QString url(const QString& path) const { return baseUrl() + path; }

    void route(const QString& path, const FakeResponse& response);
    void routeFile(const QString& path, const QString& file);
    void clearRoutes() { m_routes.clear(); }

    // Paths of the requests received, in order (query strings kept).
    QStringList requests() const { return m_requests; }
    int requestCount(const QString& path) const { return int(m_requests.count(path)); }
    void clearRequests() { m_requests.clear(); }

private:
    void onNewConnection();
    void answer(QTcpSocket* socket, const QString& path);

    QTcpServer* m_server;
    QHash<QString, FakeResponse> m_routes;
    QStringList m_requests;
};
