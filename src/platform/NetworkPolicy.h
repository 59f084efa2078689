#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QtGlobal>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QSslError;
class QUrl;

// The one set of rules for everything the program fetches or opens on the network: which
// addresses are allowed (http and https with a host, nothing else: no file:, data:, ftp: or local
// path), which redirects are followed (only to an allowed address, never from https down to
// http), how slow a transfer may be (fewer than kMinBytesPerWindow bytes of body in a window of
// stallWindowMs() aborts it, silence and trickle alike), and how big a body may grow. Bodies are
// asked for without content coding, so what is counted is what arrives.
namespace NetworkPolicy {

// The small-file fetch's largest body (server list, catalogue, screenshot).
constexpr qint64 kSmallFileMaxBytes = 16 * 1024 * 1024;
// The advertisement pane's largest page and largest picture.
constexpr qint64 kAdPageMaxBytes = 1024 * 1024;
constexpr qint64 kAdPictureMaxBytes = 4 * 1024 * 1024;
// The largest car ZIP, announced or received: nothing larger can be unpacked.
constexpr qint64 kCarMaxBytes = 512LL * 1024 * 1024;
// A transfer must bring at least this many body bytes in every window...
constexpr qint64 kMinBytesPerWindow = 1024;
// ...of this length, unless tests shorten it.
constexpr int kStallWindowMs = 60000;
// How many redirects one request follows.
constexpr int kMaxRedirects = 10;

// The window of the transfers started from now on (tests shorten it; 0 or less: the default).
int stallWindowMs();
void setStallWindowMs(int ms);

// True for an absolute http or https address with a host.
bool allows(const QUrl& url);
bool allows(const QString& address);

// Why the policy stopped a transfer.
enum class Stop { None, TooSlow, TooLarge, RedirectRefused };

struct Limits {
    qint64 maxBytes = -1;       // > 0: a body (announced or received) over this is stopped
    qint64 readBufferSize = 0;  // > 0: the reply holds at most this much unread
    int stallWindowMs = 0;      // > 0: this window instead of stallWindowMs()
    // Called once when the policy stops the reply. A stopped reply is not aborted (Qt 6.4 would
    // report an error already on its way as a second one): it simply counts as ended, and its
    // owner lets go of it with discard().
    std::function<void()> onStop;
};

// Request headers a caller adds (a Range to go on with a body that broke off).
using Headers = QList<QPair<QByteArray, QByteArray>>;

// Starts a GET under the policy: no content coding, network only, redirects checked, the window
// and the cap watched. Null when the address is not allowed (nothing is started).
QNetworkReply* get(QNetworkAccessManager& network, const QUrl& url, const Limits& limits = {},
                   const Headers& headers = {});

// Why the policy stopped this reply (None when it did not, or the reply is not one of ours).
Stop stopOf(const QNetworkReply* reply);
// True once the reply has finished or the policy has stopped it.
bool ended(const QNetworkReply* reply);
// The certificate problems of an https reply that failed its handshake; empty otherwise.
QList<QSslError> certificateErrors(const QNetworkReply* reply);
// The callers' message for an https server whose certificate does not verify:
// "Cannot establish a secure connection." CR CR LF "The server's certificate could not be
// verified: " + the problems + "." CR LF.
QString certificateMessage(const QList<QSslError>& errors);

// Lets go of a reply at once: no more signals from it, its connection closed. Never called from
// inside one of the reply's own signals.
void discard(QNetworkReply* reply);

} // namespace NetworkPolicy
