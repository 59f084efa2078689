// kavro-unzip: the extractor Kavro starts where WinZip would have been, with WinZip's line
//   kavro-unzip -% /extractX "folder" "zip"
// It extracts every entry of the ZIP into the folder, keeping the entries' folder names. It exits
// 0 only when everything was extracted; otherwise it says why on standard error and exits with
//   1 bad usage, 2 unreadable ZIP, 3 unsafe entry name (nothing written), 4 write failure.
#include "Extractor.h"

#include <cstdio>
#include <string>
#include <strings.h>

int main(int argc, char** argv) {
    if (argc != 5 || std::string(argv[1]) != "-%" || ::strcasecmp(argv[2], "/extractX") != 0 ||
        argv[3][0] == '\0' || argv[4][0] == '\0') {
        std::fprintf(stderr, "kavro-unzip: bad usage; expected: kavro-unzip -%% /extractX "
                             "\"folder\" \"zip\"\n");
        return Extractor::BadUsage;
    }
    const Extractor::Result r = Extractor::extract(argv[3], argv[4]);
    if (r.code != Extractor::Success)
        std::fprintf(stderr, "kavro-unzip: %s\n", r.message.c_str());
    return r.code;
}
