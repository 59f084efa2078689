#pragma once

struct AppContext;

// The connection check: asks the dial-up flag, offers Abort/Retry/Ignore when not connected, and
// opens the server window. False when the user chose Abort.
bool CheckConnection(AppContext& ctx);
