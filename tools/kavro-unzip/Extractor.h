#pragma once

#include <string>

// Extracts every entry of a ZIP into a folder, keeping the entries' folder names.
//
// Nothing is written unless every entry name is safe (EntryNames) and no entry is encrypted.
// Each file is written under a temporary name in its target folder; the temporary files are
// renamed to their real names only when every entry has been written, so a failure while reading
// or writing leaves no half-written file and none of this run's files behind (folders this run
// created are removed again when they are empty).
namespace Extractor {

enum ExitCode {
    Success = 0,
    BadUsage = 1,
    UnreadableZip = 2,
    UnsafeName = 3,
    WriteFailed = 4,
};

struct Result {
    ExitCode code = Success;
    std::string message; // why it failed, for standard error; empty on success
};

Result extract(const std::string& folder, const std::string& zipPath);

} // namespace Extractor
