#pragma once

#include <QString>

struct AppContext;

// Blocking HTTP GET of a small file (server list, catalogue, screenshot) into fileName, on the
// shared network manager. True: the file holds exactly the body. False: the user has seen a box
// (title "Error", style 16) saying why, and the file is as it was.
bool FetchFile(AppContext& ctx, const QString& url, const QString& fileName);
