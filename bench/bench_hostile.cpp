// bench_hostile: peak memory and bytes written for two hostile inputs, an endless chunked body
// through the downloader and a 1 GiB ZIP bomb through kavro-unzip. See bench/README.md.
#include "FakeHttpServer.h"
#include "TestEnv.h"
#include "core/download/DownloadDisplay.h"
#include "core/download/DownloadWindowState.h"
#include "core/download/Downloader.h"
#include "core/download/HttpTransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

namespace {

constexpr qint64 kAnnounced = 1024 * 1024;         // the endless body's "Content-Length"
constexpr qint64 kBombBytes = 1024LL * 1024 * 1024; // what the bomb's CAR.VIV unpacks to
constexpr double kMiB = 1024.0 * 1024.0;

// A field of /proc/<pid>/io ("wchar", "write_bytes"); -1 when unreadable.
qint64 ioField(pid_t pid, const char* name) {
    QFile f(QStringLiteral("/proc/%1/io").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(name) + ": ";
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).toLongLong();
    return -1;
}


// The server of part 1, in a child process so that its socket writes are not counted as ours.
[[noreturn]] void serveEndless(int argc, char** argv, int portPipe) {
    QCoreApplication app(argc, argv);
    FakeHttpServer server;
    FakeResponse r;
    r.body = QByteArray(64 * 1024, 'e');
    r.chunked = true;
    r.endless = true;
    r.contentLength = kAnnounced;
    server.route(QStringLiteral("/car.zip"), r);
    quint16 port = server.listen() ? server.port() : 0;
    if (::write(portPipe, &port, sizeof port) != sizeof port)
        ::_exit(2);
    ::close(portPipe);
    ::_exit(app.exec());
}

// Zeros, as many as asked for, to libzip without holding them.
zip_int64_t zeroSource(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* left = static_cast<zip_uint64_t*>(state);
    switch (cmd) {
    case ZIP_SOURCE_OPEN:
        *left = zip_uint64_t(kBombBytes);
        return 0;
    case ZIP_SOURCE_READ: {
        const zip_uint64_t n = std::min(len, *left);
        std::memset(data, 0, n);
        *left -= n;
        return zip_int64_t(n);
    }
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->size = zip_uint64_t(kBombBytes);
        st->valid |= ZIP_STAT_SIZE;
        return sizeof(*st);
    }
    case ZIP_SOURCE_ERROR:
        return 2 * sizeof(int);
    case ZIP_SOURCE_FREE:
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
    default:
        return -1;
    }
}

bool writeBomb(const QString& path) {
    int err = 0;
    zip_t* za = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!za)
        return false;
    static zip_uint64_t left = 0;
    zip_source_t* src = zip_source_function(za, zeroSource, &left);
    const zip_int64_t index = src ? zip_file_add(za, "CAR.VIV", src, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
        zip_source_free(src);
        zip_discard(za);
        return false;
    }
    zip_set_file_compression(za, zip_uint64_t(index), ZIP_CM_DEFLATE, 9);
    return zip_close(za) == 0;
}

// Bytes of the files below dir.
qint64 sizeBelow(const QString& dir) {
    qint64 total = 0;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        total += QFileInfo(it.next()).size();
    return total;
}

bool partBody(int argc, char** argv) {
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    const pid_t server = ::fork();
    if (server == 0) {
        ::close(fds[0]);
        serveEndless(argc, argv, fds[1]);
    }
    ::close(fds[1]);
    quint16 port = 0;
    if (::read(fds[0], &port, sizeof port) != sizeof port || port == 0)
        return false;
    ::close(fds[0]);

    QCoreApplication app(argc, argv);
    bool ok = false;
    {
        TestEnv env;
        HttpTransfer inet(&env.network);
        SilentDisplay display;
        DownloadWindowState state;
        Downloader downloader(env.ctx, inet, display, state);
        const QString dest = env.workDir() + QStringLiteral("CAR1.ZIP");
        const qint64 before = ioField(::getpid(), "wchar");
        QElapsedTimer t;
        t.start();
        const bool complete = downloader.DownloadFile(
            QStringLiteral("http://127.0.0.1:%1/car.zip").arg(port), dest, QString(), QString());
        const double seconds = double(t.nsecsElapsed()) / 1e9;
        const qint64 written = ioField(::getpid(), "wchar") - before;
        rusage self{};
        ::getrusage(RUSAGE_SELF, &self);
        const double rssMiB = double(self.ru_maxrss) / 1024.0;
        const qint64 past = written - kAnnounced;
        ok = !complete && !QFile::exists(dest) &&
             state.ErrorText == QStringLiteral("Download failed!\r\n") && rssMiB < 100 &&
             past < 1024 * 1024 && seconds < 5;
        std::printf("1. endless chunked body, \"Content-Length: %lld\", through DownloadFile\n",
                    static_cast<long long>(kAnnounced));
        std::printf("   ended after %.3f s with %s; file left: %s\n", seconds,
                    qPrintable(state.ErrorText.trimmed()), QFile::exists(dest) ? "yes" : "no");
        std::printf("   written by the downloader: %lld bytes (%lld past Content-Length; target "
                    "< 1 MiB)\n",
                    static_cast<long long>(written), static_cast<long long>(past));
        std::printf("   peak RSS of the downloading process: %.1f MiB (target < 100 MiB)\n",
                    rssMiB);
    }
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    return ok;
}

bool partBomb(const QString& unzip) {
    QTemporaryDir dir;
    if (!dir.isValid())
        return false;
    const QString zip = dir.filePath(QStringLiteral("CAR1.ZIP"));
    const QString out = dir.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    QElapsedTimer build;
    build.start();
    if (!writeBomb(zip)) {
        std::printf("2. could not build the ZIP bomb\n");
        return false;
    }
    std::printf("2. ZIP bomb: %.2f MB holding a %.0f MiB CAR.VIV (built in %.1f s), through "
                "kavro-unzip\n",
                double(QFileInfo(zip).size()) / 1e6, double(kBombBytes) / kMiB,
                double(build.nsecsElapsed()) / 1e9);

    const QByteArray unzipPath = QFile::encodeName(unzip);
    const QByteArray zipPath = QFile::encodeName(zip);
    const QByteArray outPath = QFile::encodeName(out);
    QElapsedTimer t;
    t.start();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(unzipPath.constData(), unzipPath.constData(), "-%", "/extractX",
                outPath.constData(), zipPath.constData(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    qint64 writtenPeak = 0;
    qint64 onDiskPeak = 0;
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(child, &status, WNOHANG, &usage);
        if (done == child)
            break;
        writtenPeak = std::max(writtenPeak, ioField(child, "wchar"));
        onDiskPeak = std::max(onDiskPeak, sizeBelow(out));
        ::usleep(20000);
    }
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    onDiskPeak = std::max(onDiskPeak, sizeBelow(out));
    const double rssMiB = double(usage.ru_maxrss) / 1024.0;
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::printf("   kavro-unzip ended after %.3f s with exit code %d; left in the folder: %lld "
                "bytes\n",
                seconds, code, static_cast<long long>(sizeBelow(out)));
    std::printf("   written: %.1f MiB (write() calls, last sample), %.1f MiB on disk at the "
                "peak (target < 600 MiB)\n",
                double(writtenPeak) / kMiB, double(onDiskPeak) / kMiB);
    std::printf("   peak RSS of kavro-unzip: %.1f MiB (target < 100 MiB)\n", rssMiB);
    // Exit codes 1 (usage), 2 (unreadable ZIP) and 127 (not started) mean it never got to work.
    const bool ran = code != 1 && code != 2 && code != 127 && code != -1;
    if (!ran)
        std::printf("   kavro-unzip did not get to the bomb: the figures say nothing\n");
    return ran && rssMiB < 100 && std::max(writtenPeak, onDiskPeak) < 600 * kMiB && seconds < 5;
}

} // namespace

int main(int argc, char** argv) {
    // "bench_hostile [path to kavro-unzip]"; the default is beside this program.
    const QString self = QString::fromLocal8Bit(argv[0]);
    const QString unzip =
        argc > 1 ? QString::fromLocal8Bit(argv[1])
                 : QFileInfo(self).absolutePath() + QStringLiteral("/kavro-unzip");
    std::printf("bench_hostile\n");
    std::fflush(stdout);
    const bool body = partBody(argc > 0 ? 1 : 0, argv);
    std::fflush(stdout);
    const bool bomb = partBomb(unzip);
    std::printf("targets: endless body %s, ZIP bomb %s\n", body ? "met" : "MISSED",
                bomb ? "met" : "MISSED");
    return body && bomb ? 0 : 1;
}
