#pragma once

#include <functional>

// The signals that end a session (SIGTERM at logout, SIGHUP when the terminal closes, SIGINT for
// Ctrl+C) reach the program through its event loop: the handler only writes a byte into a pipe,
// and onSignal runs when the loop reads it. received() tells code that runs without the loop
// whether one came.
namespace EndSignals {

// Installs the handlers; onSignal gets the signal's number.
void install(std::function<void(int signal)> onSignal);

// The number of the last ending signal received, 0 when none came.
int received();

// "SIGTERM", "SIGHUP", "SIGINT".
const char* name(int signal);

} // namespace EndSignals
