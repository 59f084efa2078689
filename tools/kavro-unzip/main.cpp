// kavro-unzip: the extractor Kavro starts where WinZip would have been, with WinZip's line
//   kavro-unzip -% /extractX "folder" "zip"
// It extracts every entry of the ZIP into the folder, keeping the entries' folder names. It exits
// 0 only when everything was extracted; otherwise it says why on standard error and exits with
//   1 bad usage, 2 unreadable ZIP, 3 unsafe entry name (nothing written), 4 write failure,
//   5 a ZIP too large to unpack (too many entries or bytes; what it wrote is removed).
// SIGTERM, SIGINT or SIGHUP stop it at its next block of data: it removes its temporary file
// and everything this run wrote, then ends by that signal.
#include "Extractor.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <strings.h>

namespace {

volatile std::sig_atomic_t g_signal = 0;

void onSignal(int sig) {
    g_signal = sig;
    Extractor::requestStop();
}

void catchStopSignals() {
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no SA_RESTART: a blocked write returns, and the run sees the stop
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &sa, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5 || std::string(argv[1]) != "-%" || ::strcasecmp(argv[2], "/extractX") != 0 ||
        argv[3][0] == '\0' || argv[4][0] == '\0') {
        std::fprintf(stderr, "kavro-unzip: bad usage; expected: kavro-unzip -%% /extractX "
                             "\"folder\" \"zip\"\n");
        return Extractor::BadUsage;
    }
    catchStopSignals();
    const Extractor::Result r = Extractor::extract(argv[3], argv[4]);
    if (r.code != Extractor::Success)
        std::fprintf(stderr, "kavro-unzip: %s\n", r.message.c_str());
    if (g_signal != 0) {
        // Cleaned up: end the way the signal asked, so whoever sent it sees it.
        std::signal(g_signal, SIG_DFL);
        std::raise(g_signal);
    }
    return r.code;
}
