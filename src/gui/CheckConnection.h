#pragma once

struct AppContext;

// The connection check: asks whether the machine is connected (AppSettings::IsConnected), offers
// Abort/Retry/Ignore when it is not, and opens the server window. False when the user chose Abort.
bool CheckConnection(AppContext& ctx);
