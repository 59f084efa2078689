#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

// The download window's transfer object: one HTTP GET at a time over the shared network manager,
// with the operations the downloader needs (URL and credentials, start, still executing, header
// text, response code, the body in chunks, cancel). The body is never held whole: the reply's
// read buffer is kept small and the chunks are taken as the data arrives. The network policy
// decides which addresses and redirects are allowed and how slow the server may be.
class HttpTransfer : public QObject {
    Q_OBJECT
public:
    explicit HttpTransfer(QNetworkAccessManager* network, QObject* parent = nullptr);
    ~HttpTransfer() override;

    // How much of the body the reply may hold before the network is read no further.
    static constexpr qint64 kReadBufferSize = 256 * 1024;
    // The policy's window (fewer than 1 KB of body in it aborts the transfer) for the transfers
    // started from now on; 0: the policy's own (tests shorten it).
    void setTimeout(int ms) { m_windowMs = ms; }
    // The window in force for the next transfer.
    int timeout() const;
    // The largest body, announced or received, of the transfers started from now on: a body
    // past it is stopped (and one without a length cut off there). A car's bound by default.
    void setMaxBytes(qint64 maxBytes) { m_maxBytes = maxBytes; }
    // The next transfers ask for the body from byte `from` on ("Range: bytes=from-"; 0: the whole
    // body), only while it is still the body whose ETag or Last-Modified was `validator`
    // ("If-Range"; empty: none).
    void setRange(qint64 from, const QByteArray& validator = QByteArray()) {
        m_rangeFrom = from;
        m_rangeValidator = validator;
    }

    void setURL(const QString& url) { m_url = url; }
    void setUserName(const QString& userName) { m_userName = userName; }
    void setPassword(const QString& password) { m_password = password; }
    QString URL() const { return m_url; }

    // Starts the GET for the set URL and returns at once. False (with errorDescription()) when
    // the request cannot even be started: a malformed URL, or one the policy does not allow.
    bool Execute();
    QString errorDescription() const;
    // True once the transfer has ended because it was redirected to an address the policy does
    // not allow (errorDescription() then says the URL is malformed, as for one given as such).
    bool redirectRefused() const;
    // The problems with an https server's certificate that made the transfer fail; empty when
    // there were none.
    QString certificateProblem() const;

    // True until the response header has arrived or the transfer has ended.
    bool StillExecuting() const;
    // True once the transfer has ended without any response from the server (refused,
    // unreachable, unknown host, time-out).
    bool noResponse() const;

    // The response header: the status line first, then every header, each line ending in CR LF.
    // Empty while there is none.
    QString GetHeader() const;
    // The value of one named header; empty when absent.
    QString GetHeader(const QString& name) const;
    // 0 while the transfer has not failed; otherwise the network error's number.
    int ResponseCode() const;
    // True once the transfer has been stopped for bringing too little in the policy's window.
    bool stalled() const;
    // True while body bytes that arrived are waiting to be read (also after a failure).
    bool hasArrived() const;

    // The next chunk of the body: exactly `maxBytes` bytes, or fewer only at the end of the body.
    // Waits (handling events) until that much has arrived or the body has ended. Empty when the
    // body has ended. `stop` is asked after every event; when it says true the wait ends and
    // what has arrived so far (at most maxBytes) is returned.
    QByteArray GetChunk(qint64 maxBytes, const std::function<bool()>& stop = {});
    // The same into chunk, reusing its memory.
    void GetChunk(QByteArray& chunk, qint64 maxBytes, const std::function<bool()>& stop = {});
    // Whatever of the body has arrived, at most maxBytes, into chunk (the downloader's loop):
    // waits (handling events) only while nothing has. Empty when the body has ended; `stop` as
    // for GetChunk.
    void GetArrived(QByteArray& chunk, qint64 maxBytes, const std::function<bool()>& stop = {});

    // Handles pending events once, waiting for one when none is pending.
    static void waitForEvents();

    // Cancels the request and closes its connection.
    void Cancel();

private:
    void read(QByteArray& chunk, qint64 maxBytes, qint64 waitFor,
              const std::function<bool()>& stop);
    void onMetaData();

    QNetworkAccessManager* m_network;
    int m_windowMs = 0;
    qint64 m_maxBytes;
    qint64 m_rangeFrom = 0;
    QByteArray m_rangeValidator;
    QPointer<QNetworkReply> m_reply;
    QString m_url;
    QString m_userName;
    QString m_password;
    QString m_error;
    bool m_headerReceived = false;
    bool m_failedToStart = false;
};
