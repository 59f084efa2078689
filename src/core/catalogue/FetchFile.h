#pragma once

#include "platform/NetworkPolicy.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

struct AppContext;

// Blocking HTTP GET of a small file (server list, catalogue, screenshot) into fileName, on the
// shared network manager, under the network policy. True: the file holds exactly the body.
// False: the user has seen a box (title "Error", style 16) saying why, and the file is as it was.
// An address the policy does not allow (or a redirect to one) fails like a malformed address:
// no connection; an https server whose certificate does not verify says so.
bool FetchFile(AppContext& ctx, const QString& url, const QString& fileName);

// The fetch's fixed figures and texts, kept apart so they can be checked without a server.
namespace FetchRules {

// Largest body a small fetch accepts; a bigger one is refused like an unreadable response.
constexpr qint64 kMaxBodyBytes = NetworkPolicy::kSmallFileMaxBytes;
// How often the whole fetch runs when the failure path keeps hearing "200".
constexpr int kMaxAttempts = 3;

// "HTTP/1.1 " + code + " " + reason + CR LF, then every header as "Name: value" CR LF.
QString headerText(int code, const QString& reason,
                   const QList<QPair<QByteArray, QByteArray>>& headers);
// The three characters starting at character 10 of the header text (fewer when it is shorter).
QString statusOf(const QString& headerText);
// The box text for a failure whose re-issued request gave this header text (status not "200").
QString failureMessage(const QString& headerText);
// "The server returned an unrecongonzied response." with the header's first line.
QString unrecognisedMessage(const QString& headerText);
// The message for a request that got no response at all.
QString noConnectionMessage();

} // namespace FetchRules
