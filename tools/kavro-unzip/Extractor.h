#pragma once

#include <string>

// Extracts every entry of a ZIP into a folder, keeping the entries' folder names.
//
// Nothing is written unless every entry name is safe (EntryNames) and no entry is encrypted.
// Each file is written under a temporary name in its target folder; the temporary files are
// renamed to their real names only when every entry has been written, so a failure while reading
// or writing leaves no half-written file and none of this run's files behind (folders this run
// created are removed again when they are empty).
//
// What a ZIP may unpack to is bounded: a ZIP whose directory announces more than kMaxEntries
// entries or more than kMaxTotalBytes in all is refused before anything is written. The
// directory can lie, so the bytes really written are counted as well: the ZIP is refused as soon
// as an entry unpacks to more than its directory announced or the run has written more than
// kMaxTotalBytes, and everything written is removed again.
namespace Extractor {

inline constexpr unsigned long long kMaxTotalBytes = 512ull * 1024 * 1024;
inline constexpr long long kMaxEntries = 4096;

enum ExitCode {
    Success = 0,
    BadUsage = 1,
    UnreadableZip = 2,
    UnsafeName = 3,
    WriteFailed = 4,
    TooLarge = 5,
    Stopped = 6,
};

struct Result {
    ExitCode code = Success;
    std::string message; // why it failed, for standard error; empty on success
};

Result extract(const std::string& folder, const std::string& zipPath);

// Safe to call from a signal handler: the run in progress stops at its next block of data,
// removes what it wrote and returns Stopped.
void requestStop() noexcept;

} // namespace Extractor
