#pragma once

#include <QString>

struct AppContext;

// FetchFile without its box: the box's text (exactly as FetchFile would show it, title "Error",
// style 16) is kept in message for the caller to show later or to put in a line. True when the
// file holds the body.
bool FetchQuietly(AppContext& ctx, const QString& url, const QString& fileName, QString& message);
