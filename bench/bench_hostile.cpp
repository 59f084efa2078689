// bench_hostile: time, peak memory and bytes written for hostile inputs: an endless chunked body
// and a car announced as 4 GiB through the downloader, an advertisement page of 60 huge pictures
// through the ad pane, and a 1 GiB ZIP bomb through kavro-unzip. See bench/README.md.
#include "FakeHttpServer.h"
#include "PictureBytes.h"
#include "TestEnv.h"
#include "core/download/DownloadDisplay.h"
#include "core/download/DownloadWindowState.h"
#include "core/download/Downloader.h"
#include "core/download/HttpTransfer.h"
#include "gui/AdPane.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QNetworkAccessManager>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

namespace {

constexpr qint64 kAnnounced = 1024 * 1024;            // the endless body's "Content-Length"
constexpr qint64 kHugeCar = 4LL * 1024 * 1024 * 1024; // the announced car's "Content-Length"
constexpr int kAdPictures = 60;                       // pictures on the advertisement page
constexpr int kAdSide = 5000;                         // each kAdSide x kAdSide pixels
constexpr qint64 kBombBytes = 1024LL * 1024 * 1024;   // what the bomb's CAR.VIV unpacks to
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

// A PNG of kAdSide x kAdSide pixels, one bit each, white with scattered black dots: small on
// the wire (about 83 KB), 95 MiB once decoded to 32-bit pixels.
QByteArray hugePicture() {
    QImage image(kAdSide, kAdSide, QImage::Format_Mono);
    image.fill(1);
    QRandomGenerator dots(18);
    for (int i = 0; i < 23400; ++i)
        image.setPixel(dots.bounded(kAdSide), dots.bounded(kAdSide), 0);
    return PictureBytes::encode(image, "png");
}

// The server of parts 1 to 3, in a child process so that its socket writes and its memory are
// not counted as ours.
[[noreturn]] void serveHostile(int argc, char** argv, int portPipe) {
    QCoreApplication app(argc, argv);
    FakeHttpServer server;
    FakeResponse endless;
    endless.body = QByteArray(64 * 1024, 'e');
    endless.chunked = true;
    endless.endless = true;
    endless.contentLength = kAnnounced;
    server.route(QStringLiteral("/endless.zip"), endless);
    FakeResponse huge;
    huge.body = QByteArray(64 * 1024, 'h');
    huge.endless = true;
    huge.contentLength = kHugeCar;
    server.route(QStringLiteral("/huge.zip"), huge);
    const QByteArray png = hugePicture();
    // One small picture first, to show that pictures are fetched and shown at all.
    server.route(QStringLiteral("/pics/small.png"),
                 FakeResponse::ok(PictureBytes::encode(PictureBytes::quadrants(200, 40), "png")));
    QByteArray page = "<html><body><p>Fast cars here</p><img src=\"pics/small.png\">";
    for (int i = 0; i < kAdPictures; ++i) {
        server.route(QStringLiteral("/pics/%1.png").arg(i), FakeResponse::ok(png));
        page += "<img src=\"pics/" + QByteArray::number(i) + ".png\">";
    }
    server.route(QStringLiteral("/ads.html"), FakeResponse::ok(page + "</body></html>"));
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

struct Fetched {
    bool complete = false;
    bool fileLeft = false;
    QString errors;
    double seconds = 0;
    qint64 written = 0;
};

// One DownloadFile of a fresh downloader: its time, what it wrote, what it said.
Fetched fetch(quint16 port, const QString& path) {
    TestEnv env;
    HttpTransfer inet(&env.network);
    SilentDisplay display;
    DownloadWindowState state;
    Downloader downloader(env.ctx, inet, display, state);
    const QString dest = env.workDir() + QStringLiteral("CAR1.ZIP");
    const qint64 before = ioField(::getpid(), "wchar");
    QElapsedTimer t;
    t.start();
    Fetched f;
    f.complete = downloader.DownloadFile(QStringLiteral("http://127.0.0.1:%1").arg(port) + path,
                                         dest, QString(), QString());
    f.seconds = double(t.nsecsElapsed()) / 1e9;
    f.written = ioField(::getpid(), "wchar") - before;
    f.fileLeft = QFile::exists(dest);
    f.errors = state.ErrorText;
    return f;
}

double peakRssMiB() {
    rusage self{};
    ::getrusage(RUSAGE_SELF, &self);
    return double(self.ru_maxrss) / 1024.0;
}

bool partBody(int argc, char** argv, quint16 port) {
    QCoreApplication app(argc, argv);
    const Fetched f = fetch(port, QStringLiteral("/endless.zip"));
    const double rssMiB = peakRssMiB();
    const qint64 past = f.written - kAnnounced;
    std::printf("1. endless chunked body, \"Content-Length: %lld\", through DownloadFile\n",
                static_cast<long long>(kAnnounced));
    std::printf("   ended after %.3f s with %s; file left: %s\n", f.seconds,
                qPrintable(f.errors.trimmed()), f.fileLeft ? "yes" : "no");
    std::printf("   written by the downloader: %lld bytes (%lld past Content-Length; target "
                "< 1 MiB)\n",
                static_cast<long long>(f.written), static_cast<long long>(past));
    std::printf("   peak RSS of the downloading process: %.1f MiB (target < 100 MiB)\n", rssMiB);
    const bool bodyOk = !f.complete && !f.fileLeft &&
                        f.errors == QStringLiteral("Download failed!\r\n") && rssMiB < 100 &&
                        past < 1024 * 1024 && f.seconds < 5;

    const Fetched h = fetch(port, QStringLiteral("/huge.zip"));
    std::printf("2. a car announced as %lld bytes (4 GiB) and sent, through DownloadFile\n",
                static_cast<long long>(kHugeCar));
    std::printf(
        "   ended after %.3f s (target < 1 s); file left: %s; errors: %s\n", h.seconds,
        h.fileLeft ? "yes" : "no",
        qPrintable(h.errors.trimmed().replace(QStringLiteral("\r\n"), QStringLiteral(" | "))));
    std::printf("   written by the downloader: %lld bytes (target < 1 MiB)\n",
                static_cast<long long>(h.written));
    const bool hugeOk = !h.complete && !h.fileLeft &&
                        h.errors.startsWith(QLatin1String("The car is too large")) &&
                        h.written < 1024 * 1024 && h.seconds < 1;
    return bodyOk && hugeOk;
}

// The ad pane's process (started as "bench_hostile --ad-pane URL"): loads the page and every
// picture it will take, then prints what it shows.
int adPaneProcess(int argc, char** argv, const QString& url) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QNetworkAccessManager network;
    AdPane pane(&network);
    pane.resize(472, 64);
    pane.show();
    bool pageDone = false;
    QObject::connect(&pane, &AdPane::pageFinished, [&pageDone] { pageDone = true; });
    QElapsedTimer t;
    t.start();
    pane.navigate(QUrl(url));
    // Done once the page has come and nothing has been on its way for half a second.
    qint64 loaded = -1;
    QElapsedTimer idle;
    while (t.elapsed() < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!pageDone || pane.isLoading()) {
            idle.invalidate();
            loaded = -1;
        } else if (!idle.isValid()) {
            idle.start();
            loaded = t.elapsed();
        } else if (idle.elapsed() >= 500) {
            break;
        }
    }
    std::printf("   page and pictures done after %.3f s; pictures shown: %d (of them one small "
                "picture put first on the page); text shown: %s\n",
                double(loaded) / 1000.0, pane.pictureCount(),
                pane.toPlainText().contains(QStringLiteral("Fast cars here")) ? "yes" : "no");
    return pane.isLoading() ? 1 : 0;
}

bool partAds(const QString& self, quint16 port) {
    std::printf("3. advertisement page of %d PNGs, each %d x %d pixels in %lld bytes, through the "
                "ad pane\n",
                kAdPictures, kAdSide, kAdSide, static_cast<long long>(hugePicture().size()));
    std::fflush(stdout);
    const QByteArray selfPath = QFile::encodeName(self);
    const QByteArray url = QStringLiteral("http://127.0.0.1:%1/ads.html").arg(port).toLatin1();
    const pid_t child = ::fork();
    if (child == 0) {
        ::execl(selfPath.constData(), selfPath.constData(), "--ad-pane", url.constData(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const double rssMiB = double(usage.ru_maxrss) / 1024.0;
    const bool ran = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::printf("   peak RSS of the ad pane's process: %.1f MiB (target < 200 MiB)%s\n", rssMiB,
                ran ? "" : "; the page did not finish loading");
    return ran && rssMiB < 200;
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
    std::printf("4. ZIP bomb: %.2f MB holding a %.0f MiB CAR.VIV (built in %.1f s), through "
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
    if (argc > 2 && std::strcmp(argv[1], "--ad-pane") == 0)
        return adPaneProcess(1, argv, QString::fromLocal8Bit(argv[2]));
    // "bench_hostile [path to kavro-unzip]"; the default is beside this program.
    const QString self = QString::fromLocal8Bit(argv[0]);
    const QString unzip = argc > 1
                              ? QString::fromLocal8Bit(argv[1])
                              : QFileInfo(self).absolutePath() + QStringLiteral("/kavro-unzip");
    std::printf("bench_hostile\n");
    std::fflush(stdout);

    int fds[2];
    if (::pipe(fds) != 0)
        return 2;
    const pid_t server = ::fork();
    if (server == 0) {
        ::close(fds[0]);
        serveHostile(1, argv, fds[1]);
    }
    ::close(fds[1]);
    quint16 port = 0;
    if (::read(fds[0], &port, sizeof port) != sizeof port || port == 0)
        return 2;
    ::close(fds[0]);
    const bool body = partBody(1, argv, port);
    std::fflush(stdout);
    const bool ads = partAds(QFileInfo(self).absoluteFilePath(), port);
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    std::fflush(stdout);
    const bool bomb = partBomb(unzip);
    std::printf("targets: endless body and 4 GiB car %s, ad page %s, ZIP bomb %s\n",
                body ? "met" : "MISSED", ads ? "met" : "MISSED", bomb ? "met" : "MISSED");
    return body && ads && bomb ? 0 : 1;
}
