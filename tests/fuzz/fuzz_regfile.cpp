// Feeds arbitrary bytes to the settings store's file reader, as a damaged or hand-edited
// registry.reg would reach it. Aborts when what the reader kept does not survive a write and a
// second read unchanged: a value that changes or disappears across Kavro's own save is lost data.
#include "platform/RegFile.h"

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_regfile: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const RegFile first =
        RegFile::parse(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QByteArray written = first.serialize();
    const RegFile second = RegFile::parse(written);
    if (second.damaged())
        fail("the file Kavro wrote reads back as damaged");
    if (second.serialize() != written)
        fail("writing the file again changes it");
    for (const RegFile::Key& key : first.keys()) {
        for (const RegFile::Value& value : key.values) {
            const RegFile::Value* again = second.find(key.path, value.name);
            if (!again)
                fail("a value disappeared across a save");
            if (again->type != value.type || again->data != value.data) {
                std::fprintf(stderr, "fuzz_regfile: %s \\ %s: type %d -> %d, %s -> %s\n",
                             qPrintable(key.path), qPrintable(value.name), value.type, again->type,
                             value.data.toHex(',').constData(), again->data.toHex(',').constData());
                fail("a value changed across a save");
            }
        }
    }
    return 0;
}
