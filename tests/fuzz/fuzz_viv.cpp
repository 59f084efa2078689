// Feeds arbitrary bytes to the car archive reader as a file, in serial-only and unpack mode.
// Aborts when a result is out of range, when the two modes disagree about validity, when anything
// appears outside the unpack folder or anything but plain files inside it, when an invalid archive
// left files behind, or when rebuilding what was unpacked does not give the same serial.
#include "core/gamedata/Viv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

QTemporaryDir* g_dir = nullptr;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_viv: %s\n", what);
    std::abort();
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!g_dir) {
        // A memory file system when there is one: the writer flushes every archive to disk.
        const QString where = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                  ? QStringLiteral("/dev/shm")
                                  : QDir::tempPath();
        g_dir = new QTemporaryDir(where + QStringLiteral("/kavro-fuzz-XXXXXX"));
        if (!g_dir->isValid())
            fail("no temporary folder");
        std::atexit([] { delete g_dir; });
    }
    const QString base = g_dir->path() + u'/';
    const QString archive = base + QStringLiteral("in.viv");
    const QString out = base + QStringLiteral("out/");
    const QString rebuilt = base + QStringLiteral("re.viv");
    QDir(out).removeRecursively();
    QFile::remove(rebuilt);
    QDir().mkpath(out);
    {
        QFile f(archive);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fail("cannot write the input");
        f.write(reinterpret_cast<const char*>(data), qint64(size));
    }

    QString serialError;
    const qint16 serial = ReadViv(archive, QString(), 1, &serialError);
    if (serial < -1 || serial > 255)
        fail("serial out of range");
    if (!serialError.isEmpty())
        fail("reading a readable file failed");

    QString unpackError;
    const qint16 unpacked = ReadViv(archive, out, 0, &unpackError);
    if (unpacked != 0 && unpacked != 1)
        fail("unpack result out of range");

    if (entriesOf(base) != QStringList{QStringLiteral("in.viv"), QStringLiteral("out")})
        fail("something was written outside the unpack folder");
    const QStringList files = entriesOf(out);
    for (const QString& name : files) {
        const QFileInfo info(out + name);
        if (!info.isFile() || info.isSymLink())
            fail("something other than a plain file was unpacked");
    }
    if (unpacked == 0) {
        if (!files.isEmpty())
            fail("a refused archive left files behind");
        // Refused for being invalid: the serial-only mode must agree.
        if (unpackError.isEmpty() && serial != -1)
            fail("unpack refused an archive that serial-only mode accepted");
        return 0;
    }

    // Valid: rebuild from the folder; the serial must survive the round trip.
    QString writeError;
    if (!WriteViv(rebuilt, out, &writeError))
        fail("what was unpacked could not be built again");
    if (ReadViv(rebuilt, QString(), 1) != serial)
        fail("the serial changed in the round trip");
    if (QFileInfo(rebuilt).size() < 16)
        fail("rebuilt archive too short");
    return 0;
}
