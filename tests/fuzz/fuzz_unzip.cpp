// Feeds arbitrary bytes to the extractor as a ZIP file. Aborts when anything appears outside the
// extraction folder, when a temporary file is left behind, when a refused or failed ZIP left
// anything in the folder, or when a success left an entry name that the name rules call unsafe.
#include "../../tools/kavro-unzip/EntryNames.h"
#include "../../tools/kavro-unzip/Extractor.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path g_base;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "fuzz_unzip: %s\n", what.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (g_base.empty()) {
        g_base = fs::temp_directory_path() / ("kavro-fuzz-unzip-" + std::to_string(::getpid()));
        fs::create_directories(g_base);
    }
    const fs::path zip = g_base / "in.zip";
    // Nested, so that "../" names have somewhere to land if they ever got through.
    const fs::path out = g_base / "a" / "b" / "out";
    {
        std::ofstream f(zip, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    fs::create_directories(out.parent_path());

    const Extractor::Result r = Extractor::extract(out.string(), zip.string());
    if ((r.code == Extractor::Success) != r.message.empty())
        fail("a result without a reason, or a reason without a failure");

    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(g_base, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path p = it->path();
        const std::string rel = p.lexically_relative(g_base).generic_string();
        if (rel == "in.zip" || rel == "a" || rel == "a/b" || rel == "a/b/out")
            continue;
        if (rel.rfind("a/b/out/", 0) != 0)
            fail("written outside the folder: " + rel);
        if (r.code != Extractor::Success)
            fail("a failed extraction left " + rel);
        if (p.filename().string().rfind(".kavro-unzip-", 0) == 0)
            fail("a temporary file was left: " + rel);
        if (fs::is_symlink(it->symlink_status()))
            fail("a link was made: " + rel);
    }
    fs::remove_all(g_base / "a", ec);
    return 0;
}
