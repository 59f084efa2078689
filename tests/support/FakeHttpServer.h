#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

class QSslConfiguration;
class QTcpServer;
class QTcpSocket;

// What the fake server answers for one path.
struct FakeResponse {
    QByteArray statusLine = "HTTP/1.1 200 OK";
    QList<QPair<QByteArray, QByteArray>> headers; // extra headers, sent as given
    QByteArray body;
    QString bodyFile;              // stream the body from this file instead (large bodies)
    bool sendContentLength = true; // false: no "Content-Length" header
    qint64 contentLength = -1;     // >= 0: announce this length whatever the body is (a lie)
    int chunkSize = 0;             // > 0 with chunkDelayMs: send the body slowly
    int chunkDelayMs = 0;
    qint64 dropAfterBytes = -1;       // >= 0: close the connection after this many body bytes
    bool dropWithoutResponse = false; // close the connection at once, no status line at all
    bool noBody = false;              // headers only (for a 0-length body use body = "")
    bool chunked = false;             // "Transfer-Encoding: chunked", each piece one chunk
    bool endless = false;             // with chunked: the body repeats for ever
    int dropTimes = -1;               // >= 0: only the first this many answers are cut short
    bool stallAtDrop = false;         // at dropAfterBytes go silent instead of closing
    // What a request with "Range: bytes=N-" gets: the whole body (200), its part from N (206 with
    // the matching Content-Range), or a 206 naming a part it does not hold.
    enum class Range { Ignore, Honour, Wrong };
    Range range = Range::Ignore;
    QByteArray partETag;  // non-empty: a 206 carries this ETag instead of the body's
    double cutChance = 0; // > 0: each answer is cut with this chance at a random byte
    // Answer n (from 0) to this path is cut after cuts[n] bytes of its body (-1: not cut); the
    // answers past the list are whole.
    QList<qint64> cuts;
    QByteArray laterStatusLine; // non-empty: the answers after the first get this status

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
// "Content-Length", slow, chunked or endless bodies, dropped or stalled connections, Range
// requests (for bodies held in memory), optionally over TLS. Every connection is closed after its
// answer ("Connection: close"). Paths without a route get 404. Runs in the test's thread: it
// answers while the code under test waits in an event loop.
class FakeHttpServer : public QObject {
    Q_OBJECT
public:
    explicit FakeHttpServer(QObject* parent = nullptr);
    ~FakeHttpServer() override;

    bool listen(); // on a free loopback port
    // On a free loopback port, speaking TLS with this configuration (https).
    bool listenTls(const QSslConfiguration& configuration);
    // A key and a self-signed certificate for 127.0.0.1, made with the openssl tool in dir; a
    // null configuration (and why in *error) when the tool is missing or fails.
    static QSslConfiguration selfSignedTls(const QString& dir, QString* error);
    // A loopback port on which nothing listens (a connection there is refused).
    static quint16 closedPort();
    quint16 port() const;
    QString baseUrl() const; // "http(s)://127.0.0.1:<port>" (no trailing slash)
    QString url(const QString& path) const { return baseUrl() + path; }

    void route(const QString& path, const FakeResponse& response);
    void routeFile(const QString& path, const QString& file);
    void clearRoutes() { m_routes.clear(); }

    // Paths of the requests received, in order (query strings kept).
    QStringList requests() const { return m_requests; }
    // The "Range" header of each request received, in order ("" when it had none).
    QStringList ranges() const { return m_ranges; }
    // The "If-Range" header of each request received, in order ("" when it had none).
    QStringList ifRanges() const { return m_ifRanges; }
    int requestCount(const QString& path) const { return int(m_requests.count(path)); }
    void clearRequests() { m_requests.clear(); }

private:
    void onNewConnection();
    void answer(QTcpSocket* socket, const QString& path, const QByteArray& request);

    QTcpServer* m_server;
    bool m_tls = false;
    QHash<QString, FakeResponse> m_routes;
    QStringList m_requests;
    QStringList m_ranges;
    QStringList m_ifRanges;
    QHash<QString, int> m_answers;  // per route
    QHash<QString, int> m_answered; // per route, every answer
};
