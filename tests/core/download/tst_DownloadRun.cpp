// The download run without a window: cars one after the other, the log, the rescan, the end.
#include "FakeHttpServer.h"
#include "TestEnv.h"
#include "TestFiles.h"
#include "VivBuilder.h"
#include "ZipBuilder.h"
#include "core/download/DownloadDisplay.h"
#include "core/download/DownloadRun.h"
#include "core/download/DownloadWindowState.h"
#include "core/download/HttpTransfer.h"
#include "core/gamedata/CarSerials.h"

#include <QtTest>

namespace {

class RecordingDisplay : public SilentDisplay {
public:
    void showCar(qint16 n) override { cars.append(n); }
    QList<qint16> cars;
};

QByteArray pattern(qint64 n) {
    QByteArray b(n, Qt::Uninitialized);
    for (qint64 i = 0; i < n; ++i)
        b[i] = char((i * 13 + i / 1024) & 0xFF);
    return b;
}

// A gzip member holding the given bytes (deflated by qCompress, which wraps them for zlib).
QByteArray gzipOf(const QByteArray& data) {
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc = ~crc;
    const QByteArray zlib = qCompress(data, 9);
    QByteArray gz("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03", 10);
    gz += zlib.mid(6, zlib.size() - 10); // past the length and zlib header, before the Adler-32
    for (quint32 v : {crc, quint32(data.size())})
        for (int i = 0; i < 4; ++i)
            gz += char((v >> (8 * i)) & 0xFF);
    return gz;
}

// Every path below root with its size, but for the game and work folders.
QStringList outsideGameAndWork(const TestEnv& env) {
    QStringList out;
    for (const QString& path : TestFiles::filesBelow(env.root()))
        if (!path.startsWith(QLatin1String("game")) &&
            !path.startsWith(QLatin1String("temp/Kavro")))
            out.append(path + u' ' + QString::number(QFileInfo(env.root() + path).size()));
    return out;
}

struct Run {
    TestEnv env;
    FakeHttpServer server;
    HttpTransfer inet{&env.network};
    RecordingDisplay display;
    DownloadWindowState state;
    std::unique_ptr<DownloadRun> run;
    QStringList names, urls;
    QStringList installs;  // "n name"
    QStringList logAtScan; // the log as each scan saw it
    std::function<void()> duringInstall;

    explicit Run(bool fakeSteps = true) {
        env.useFixedClock();
        server.listen();
        DownloadRun::Steps steps = DownloadRun::carSteps(env.ctx);
        if (fakeSteps) {
            steps.install = [this](qint16 n, const QString& name, QString&, QString&) {
                installs.append(QString::number(n) + u' ' + name);
                if (duringInstall)
                    duringInstall();
            };
            steps.scan = [this] {
                logAtScan.append(state.DownloadLog);
                return QStringList();
            };
        }
        run = std::make_unique<DownloadRun>(env.ctx, inet, display, state, steps);
    }
    void add(const QString& name, const QString& path) {
        names.append(name);
        urls.append(server.url(path));
    }
    QString stamp() const { return env.ctx.clock->timeText() + u' ' + env.ctx.clock->dateText(); }
    QString block(const QString& name, const QString& errors) const {
        return name + QStringLiteral("\r\n") + QString(name.size(), u'=') +
               QStringLiteral("\r\nStart at ") + stamp() + QStringLiteral("\r\nEnd at ") + stamp() +
               QStringLiteral("\r\nERRORS : ") + errors + QStringLiteral("\r\n\r\n");
    }
    QByteArray file(const QString& path) const { return TestFiles::readAll(path); }
    bool hasUnzip() const {
        return QFileInfo::exists(QStringLiteral(KAVRO_BIN_DIR "/kavro-unzip"));
    }
};

} // namespace

class tst_DownloadRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void threeCarsSecondMissing();
    void realInstallsAndSerialWarning();
    void rescanNoticeGoesToTheLog();
    void endDuringInstallStopsTheRun();
    void installDownloadedCar_data();
    void installDownloadedCar();
    void hostileServers_data();
    void hostileServers();
    void brokenConnections_data();
    void brokenConnections();
    void logWriteFailure_data();
    void logWriteFailure();
};

void tst_DownloadRun::threeCarsSecondMissing() {
    Run r;
    r.server.route(QStringLiteral("/alpha.zip"), FakeResponse::ok(pattern(3000)));
    r.server.route(QStringLiteral("/zeta.zip"), FakeResponse::ok(pattern(5000)));
    r.add(QStringLiteral("Alpha GT"), QStringLiteral("/alpha.zip"));
    r.add(QStringLiteral("Roadster Z"), QStringLiteral("/roadster.zip"));
    r.add(QStringLiteral("Zeta"), QStringLiteral("/zeta.zip"));
    QVERIFY(r.run->run(r.names, r.urls));

    const QString expected =
        r.block(QStringLiteral("Alpha GT"), QStringLiteral("(none)")) +
        r.block(QStringLiteral("Roadster Z"),
                QStringLiteral("The file, \"") + r.server.url(QStringLiteral("/roadster.zip")) +
                    QStringLiteral("\" was not found!\r\nDownload failed!\r\n")) +
        r.block(QStringLiteral("Zeta"), QStringLiteral("(none)"));
    QCOMPARE(r.state.DownloadLog, expected);
    QCOMPARE(r.file(r.env.workDir() + QStringLiteral("DOWNLOAD.LOG")),
             (expected + QStringLiteral("\r\n")).toLatin1());
    QCOMPARE(r.installs, (QStringList{QStringLiteral("1 Alpha GT"), QStringLiteral("3 Zeta")}));
    QCOMPARE(r.display.cars, (QList<qint16>{1, 2, 3}));
    // One scan after each car, before that car's "ERRORS : " line.
    QCOMPARE(r.logAtScan.size(), 3);
    for (const QString& log : r.logAtScan)
        QVERIFY(log.endsWith(QStringLiteral("\r\nEnd at ") + r.stamp() + QStringLiteral("\r\n")));
    QCOMPARE(r.logAtScan.at(2), expected.chopped(QStringLiteral("ERRORS : (none)\r\n\r\n").size()));

    QCOMPARE(r.file(r.env.workDir() + QStringLiteral("CAR1.ZIP")), pattern(3000));
    QVERIFY(!QFile::exists(r.env.workDir() + QStringLiteral("CAR2.ZIP")));
    QCOMPARE(r.server.requestCount(QStringLiteral("/roadster.zip")), 1); // never tried again
    QCOMPARE(r.file(r.env.workDir() + QStringLiteral("CAR3.ZIP")), pattern(5000));
    QCOMPARE(r.env.prompts.count(), 0);
    QCOMPARE(r.env.programEnd.endCount(), 0); // what follows the run is the caller's
}

void tst_DownloadRun::realInstallsAndSerialWarning() {
    Run r(false); // the real installer and scan
    if (!r.hasUnzip())
        QSKIP("kavro-unzip is not built");
    // Both cars carry serial 7: the second is renumbered, with a warning in its block. The
    // first car downloaded again is refused in its block: it is in the game already.
    const QString zipFile = r.env.root() + QStringLiteral("car.zip");
    const QString otherZip = r.env.root() + QStringLiteral("other.zip");
    for (const QString& zip : {zipFile, otherZip}) {
        QList<VivBuilder::Entry> car = VivBuilder::carEntries(7);
        car.append({"model.txt", zip.toLatin1()});
        QVERIFY(ZipBuilder()
                    .add("CAR.VIV", VivBuilder::build(car))
                    .add("ABCD.QFS", QByteArray("picture"))
                    .add("CAR.FEC", QByteArray("fec"))
                    .write(zip));
    }
    r.server.routeFile(QStringLiteral("/one.zip"), zipFile);
    r.server.routeFile(QStringLiteral("/two.zip"), otherZip);
    r.add(QStringLiteral("First Car"), QStringLiteral("/one.zip"));
    r.add(QStringLiteral("Second Car"), QStringLiteral("/two.zip"));
    r.add(QStringLiteral("First Car Again"), QStringLiteral("/one.zip"));
    QVERIFY(r.run->run(r.names, r.urls));

    const QString log = r.state.DownloadLog;
    QVERIFY2(log.startsWith(r.block(QStringLiteral("First Car"), QStringLiteral("(none)"))),
             qPrintable(log));
    const QRegularExpression second(
        QStringLiteral("\r\nSecond Car\r\n==========\r\nStart at [^\r]+\r\nEnd at [^\r]+\r\n\r\n"
                       "WARNING: Serial Number conflit with \\[....\\]. Serial Number changed "
                       "automatically.\r\n\r\nERRORS : \\(none\\)\r\n\r\n"
                       "First Car Again\r\n===============\r\nStart at [^\r]+\r\nEnd at [^\r]+\r\n"
                       "ERRORS : Installation failed: already installed as ....\r\n\r\n\r\n$"));
    QVERIFY2(second.match(log).hasMatch(), qPrintable(log));
    QCOMPARE(r.env.session.installedCount(), 2); // the last scan sees both
    QCOMPARE(QDir(r.env.gamePath() + QStringLiteral("Data/Cars"))
                 .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                 .size(),
             2);
}

// An installed car with an invalid serial: the first rescan notes it once, on a line of its own
// after that car's block; a car that installed cleanly reads "(none)"; no box stops the run.
void tst_DownloadRun::rescanNoticeGoesToTheLog() {
    Run r(false);
    if (!r.hasUnzip())
        QSKIP("kavro-unzip is not built");
    VivBuilder::installCar(r.env.gamePath(), QStringLiteral("BRKN"), "BIGF broken");
    QByteArray noise; // save data that does not compress: the ZIP passes 1 KB
    for (quint32 i = 0, x = 1; i < 4096; ++i, x = x * 1103515245u + 12345u)
        noise += char(x >> 24);
    const QString zipFile = r.env.root() + QStringLiteral("car.zip");
    QVERIFY(ZipBuilder()
                .add("CAR.VIV", VivBuilder::carArchive(7))
                .add("CAR.FEC", noise)
                .write(zipFile));
    r.server.routeFile(QStringLiteral("/one.zip"), zipFile);
    r.add(QStringLiteral("Clean"), QStringLiteral("/one.zip"));
    r.add(QStringLiteral("Gone"), QStringLiteral("/gone.zip"));
    QVERIFY(r.run->run(r.names, r.urls));
    QCOMPARE(r.state.DownloadLog,
             r.block(QStringLiteral("Clean"), QStringLiteral("(none)")) +
                 InvalidSerialText(QStringLiteral("BRKN")) + QStringLiteral("\r\n\r\n") +
                 r.block(QStringLiteral("Gone"),
                         QStringLiteral("The file, \"") +
                             r.server.url(QStringLiteral("/gone.zip")) +
                             QStringLiteral("\" was not found!\r\nDownload failed!\r\n")));
    QCOMPARE(r.env.prompts.count(), 0);
}

void tst_DownloadRun::endDuringInstallStopsTheRun() {
    Run r;
    r.server.route(QStringLiteral("/a.zip"), FakeResponse::ok(pattern(3000)));
    r.server.route(QStringLiteral("/b.zip"), FakeResponse::ok(pattern(3000)));
    r.add(QStringLiteral("A"), QStringLiteral("/a.zip"));
    r.add(QStringLiteral("B"), QStringLiteral("/b.zip"));
    r.duringInstall = [&] { r.env.programEnd.EndProgram(); };
    QVERIFY(!r.run->run(r.names, r.urls));
    QCOMPARE(r.installs, QStringList{QStringLiteral("1 A")});
    QVERIFY(!r.state.DownloadLog.contains(QStringLiteral("ERRORS : ")));
    QVERIFY(r.logAtScan.isEmpty());
    QCOMPARE(r.server.requestCount(QStringLiteral("/b.zip")), 0);
    QVERIFY(!QFile::exists(r.env.workDir() + QStringLiteral("DOWNLOAD.LOG")));
}

void tst_DownloadRun::installDownloadedCar_data() {
    QTest::addColumn<QByteArray>("zip"); // empty: a ZIP holding a car archive
    QTest::addColumn<QString>("errors");
    QTest::addColumn<int>("installed");
    QTest::newRow("a car") << QByteArray() << QString() << 1;
    QTest::newRow("not a ZIP") << QByteArray("not a zip at all")
                               << QStringLiteral("Installation failed: ") << 0;
}

void tst_DownloadRun::installDownloadedCar() {
    QFETCH(QByteArray, zip);
    QFETCH(QString, errors);
    QFETCH(int, installed);
    Run r(false);
    if (!r.hasUnzip())
        QSKIP("kavro-unzip is not built");
    const QString car = r.env.workDir() + QStringLiteral("CAR4.ZIP");
    if (zip.isEmpty())
        QVERIFY(ZipBuilder().add("CAR.VIV", VivBuilder::carArchive(3)).write(car));
    else {
        QFile f(car);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(zip) == zip.size());
    }

    const QString got = r.run->installDownloadedCar(4, QStringLiteral("Fourth"));
    QVERIFY2(errors.isEmpty() ? got.isEmpty() : got.startsWith(errors), qPrintable(got));
    QVERIFY(r.state.DownloadLog.startsWith(QStringLiteral("Fourth\r\n======\r\nStart at ")));
    QVERIFY(r.state.DownloadLog.endsWith(QStringLiteral("ERRORS : ") +
                                         (got.isEmpty() ? QStringLiteral("(none)") : got) +
                                         QStringLiteral("\r\n\r\n")));
    QCOMPARE(r.env.session.installedCount(), installed); // rescanned
    QVERIFY(r.run->writeLog());
    QCOMPARE(r.file(r.env.workDir() + QStringLiteral("DOWNLOAD.LOG")),
             (r.state.DownloadLog + QStringLiteral("\r\n")).toLatin1());
}

// What a hostile or broken server can send, through the whole run with the real installer: each
// car ends within seconds with its log line, nothing outside the game and work folders changes,
// and the work folder keeps only the log and a download that arrived exactly as announced.
void tst_DownloadRun::hostileServers_data() {
    QTest::addColumn<FakeResponse>("response");
    QTest::addColumn<bool>("carFirst");  // the body is a car ZIP followed by the response's bytes
    QTest::addColumn<QString>("errors"); // how the car's "ERRORS : " line starts
    QTest::addColumn<int>("installed");

    FakeResponse endless = FakeResponse::ok(pattern(4096));
    endless.chunked = true;
    endless.endless = true;
    endless.contentLength = 2048;
    QTest::newRow("endless chunked body announced as 2048 bytes")
        << endless << false << "Download failed!\r\n"
        << 0;

    FakeResponse longer = FakeResponse::ok(pattern(6000));
    longer.chunked = true;
    longer.contentLength = 5000;
    QTest::newRow("chunked body longer than announced") << longer << false << "Download failed!\r\n"
                                                        << 0;

    // Without chunks the announced length frames the body: what follows it is never read.
    QTest::newRow("plain body longer than announced")
        << FakeResponse::ok(pattern(3000)) << true << "(none)" << 1;

    FakeResponse shorter = FakeResponse::ok(pattern(3000));
    shorter.contentLength = 6000;
    QTest::newRow("body shorter than announced")
        << shorter << false << "Download stopped: the connection broke 20 times\r\n"
        << 0;

    // One byte every 200 ms against a window of 600 ms: under 1 KB a window, so each try
    // brings nothing worth another.
    FakeResponse trickle = FakeResponse::ok(pattern(4000));
    trickle.chunkSize = 1;
    trickle.chunkDelayMs = 200;
    QTest::newRow("trickle of a byte at a time")
        << trickle << false << "Download stopped: no data for 0.6 s\r\n"
        << 0;

    FakeResponse toFile = FakeResponse::status("HTTP/1.1 302 Found", "");
    toFile.headers.append({"Location", QByteArray("file:///etc/hostname")});
    QTest::newRow("redirect to file:")
        << toFile << false
        << "Error: URL is malformed occurred.\r\nThe server returned the following response:"
           "\r\n\r\n\r\n"
        << 0;

    // Asked for without content coding, a gzip body arrives as sent (4 KB), is kept at the size
    // announced and is then no ZIP: it never inflates to its 4 MiB.
    FakeResponse gzip = FakeResponse::ok(gzipOf(QByteArray(4 * 1024 * 1024, '\0')));
    gzip.headers.append({"Content-Encoding", QByteArray("gzip")});
    QTest::newRow("gzip body inflating a thousandfold")
        << gzip << false << "Installation failed: " << 0;
}

void tst_DownloadRun::hostileServers() {
    QFETCH(FakeResponse, response);
    QFETCH(bool, carFirst);
    QFETCH(QString, errors);
    QFETCH(int, installed);
    QTest::failOnWarning(QRegularExpression(QStringLiteral("must only be called once")));
    Run r(false);
    if (!r.hasUnzip())
        QSKIP("kavro-unzip is not built");
    r.inet.setTimeout(600);
    if (carFirst) {
        const QString zip = r.env.root() + QStringLiteral("car.zip");
        QVERIFY(ZipBuilder()
                    .add("CAR.VIV", VivBuilder::carArchive(5))
                    .setStored(true)
                    .add("CAR.FEC", pattern(4000))
                    .write(zip));
        const QByteArray car = TestFiles::readAll(zip);
        QVERIFY(QFile::remove(zip));
        response.contentLength = car.size();
        response.body.prepend(car);
    }
    r.server.route(QStringLiteral("/car.zip"), response);
    r.add(QStringLiteral("Hostile Car"), QStringLiteral("/car.zip"));
    const QStringList outside = outsideGameAndWork(r.env);
    const QStringList work = TestFiles::filesBelow(r.env.workDir());

    QElapsedTimer t;
    t.start();
    QVERIFY(r.run->run(r.names, r.urls));
    QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));

    const QString log = r.state.DownloadLog;
    QVERIFY2(log.contains(QStringLiteral("\r\nERRORS : ") + errors), qPrintable(log));
    QCOMPARE(r.env.session.installedCount(), installed);
    QCOMPARE(outsideGameAndWork(r.env), outside);
    // New in the work folder: the log, and only for a download that arrived as announced its
    // ZIP and what the installer unpacked from it (its extraction folder).
    const bool downloaded = !errors.startsWith(QLatin1String("Download ")) &&
                            !errors.startsWith(QLatin1String("Error:"));
    QStringList added;
    for (const QString& path : TestFiles::filesBelow(r.env.workDir()))
        if (!work.contains(path) && path != QLatin1String("DOWNLOAD.LOG") &&
            !(downloaded && (path == QLatin1String("CAR1.ZIP") || path == QLatin1String("CAR1") ||
                             path.startsWith(QLatin1String("CAR1/")))))
            added.append(path);
    QCOMPARE(added, QStringList());
    QCOMPARE(QFile::exists(r.env.workDir() + QStringLiteral("CAR1.ZIP")), downloaded);
    if (downloaded)
        QCOMPARE(
            QFileInfo(r.env.workDir() + QStringLiteral("CAR1.ZIP")).size(),
            qint64(response.contentLength >= 0 ? response.contentLength : response.body.size()));
}

// A car whose connection breaks at 40% of its body is tried again: appended to when the server
// names the same body (ETag) in its 206, fetched again whole otherwise; the real installer then
// gets the ZIP byte for byte and the car's block says how it came, or the block gives the reason.
void tst_DownloadRun::brokenConnections_data() {
    QTest::addColumn<FakeResponse::Range>("range");
    QTest::addColumn<QByteArray>("etag");     // of the body; the 206 may name another
    QTest::addColumn<QByteArray>("partETag"); // empty: the body's
    QTest::addColumn<int>("dropTimes");
    QTest::addColumn<bool>("stall");
    QTest::addColumn<QString>("ranges"); // the Range of each request, "D" for the 40% mark
    QTest::addColumn<QString>("line");   // the line after "End at", or the errors
    using R = FakeResponse::Range;
    const QString resumed = Downloader::resumedLine(2) + QStringLiteral("\r\nERRORS : (none)");
    const QString restarted = Downloader::restartedLine(2) + QStringLiteral("\r\nERRORS : (none)");
    QTest::newRow("closed, same ETag") << R::Honour << QByteArray("\"a1\"") << QByteArray() << 1
                                       << false << "|bytes=D-" << resumed;
    QTest::newRow("stalled, same ETag")
        << R::Honour << QByteArray("\"a1\"") << QByteArray() << 1 << true << "|bytes=D-" << resumed;
    QTest::newRow("closed, no validator")
        << R::Honour << QByteArray() << QByteArray() << 1 << false << "|" << restarted;
    QTest::newRow("closed, Range ignored") << R::Ignore << QByteArray("\"a1\"") << QByteArray() << 1
                                           << false << "|bytes=D-" << restarted;
    QTest::newRow("closed, 206 with another ETag")
        << R::Honour << QByteArray("\"a1\"") << QByteArray("\"b2\"") << 1 << false << "|bytes=D-|"
        << restarted;
    QTest::newRow("closed, Content-Range not matching")
        << R::Wrong << QByteArray("\"a1\"") << QByteArray() << 1 << false << "|bytes=D-|"
        << restarted;
    QTest::newRow("closed every time")
        << R::Ignore << QByteArray() << QByteArray() << -1 << false
        << QStringLiteral("|").repeated(Downloader::kMaxTries - 1)
        << "ERRORS : Download stopped: the connection broke 20 times\r\nDownload failed!\r\n";
}

void tst_DownloadRun::brokenConnections() {
    QFETCH(FakeResponse::Range, range);
    QFETCH(QByteArray, etag);
    QFETCH(QByteArray, partETag);
    QFETCH(int, dropTimes);
    QFETCH(bool, stall);
    QFETCH(QString, ranges);
    QFETCH(QString, line);
    Run r(false);
    if (!r.hasUnzip())
        QSKIP("kavro-unzip is not built");
    r.inet.setTimeout(1500);
    const QString zip = r.env.root() + QStringLiteral("car.zip");
    QVERIFY(ZipBuilder()
                .add("CAR.VIV", VivBuilder::carArchive(5))
                .add("CAR.FEC", pattern(40000))
                .write(zip));
    FakeResponse response = FakeResponse::ok(TestFiles::readAll(zip));
    response.range = range;
    if (!etag.isEmpty())
        response.headers.append({"ETag", etag});
    response.partETag = partETag;
    response.dropTimes = dropTimes;
    response.stallAtDrop = stall;
    response.dropAfterBytes = response.body.size() * 2 / 5;
    r.server.route(QStringLiteral("/car.zip"), response);
    r.add(QStringLiteral("Broken Car"), QStringLiteral("/car.zip"));
    QVERIFY(r.run->run(r.names, r.urls));

    QVERIFY2(r.state.DownloadLog.contains(QStringLiteral("\r\n") + line),
             qPrintable(r.state.DownloadLog));
    QCOMPARE(r.server.ranges().join(u'|'),
             ranges.replace(u'D', QString::number(response.dropAfterBytes)));
    const bool arrived = line.contains(QLatin1String("(none)"));
    QCOMPARE(r.env.session.installedCount(), arrived ? 1 : 0);
    QCOMPARE(r.file(r.env.workDir() + QStringLiteral("CAR1.ZIP")),
             arrived ? response.body : QByteArray());
}

// DOWNLOAD.LOG cannot be written: the run's own log says so on its last line, and the program's
// result is 1 (a root user writes into read-only folders, so a folder stands in the way).
void tst_DownloadRun::logWriteFailure_data() {
    QTest::addColumn<bool>("folderGone"); // else DOWNLOAD.LOG is a folder
    QTest::newRow("work folder gone") << true;
    QTest::newRow("DOWNLOAD.LOG is a folder") << false;
}

void tst_DownloadRun::logWriteFailure() {
    QFETCH(bool, folderGone);
    Run r;
    r.server.route(QStringLiteral("/a.zip"), FakeResponse::ok(pattern(3000)));
    r.add(QStringLiteral("A"), QStringLiteral("/a.zip"));
    const QString work = r.env.workDir();
    r.duringInstall = [&] {
        QVERIFY(folderGone ? QDir(work).removeRecursively()
                           : QDir().mkpath(work + QStringLiteral("DOWNLOAD.LOG/x")));
    };
    QVERIFY(r.run->run(r.names, r.urls));
    QVERIFY(!r.run->logWritten());
    const QString line = QStringLiteral("The download log could not be written to ") + work +
                         QStringLiteral("DOWNLOAD.LOG: ");
    QVERIFY2(r.state.DownloadLog.startsWith(r.block(QStringLiteral("A"), QStringLiteral("(none)")) +
                                            line),
             qPrintable(r.state.DownloadLog));
    QVERIFY(r.state.DownloadLog.endsWith(QStringLiteral("\r\n")));
    QCOMPARE(r.env.programEnd.exitStatus(), 1);
    QCOMPARE(QFileInfo(work + QStringLiteral("DOWNLOAD.LOG")).isFile(), false);
}

QTEST_GUILESS_MAIN(tst_DownloadRun)
#include "tst_DownloadRun.moc"
