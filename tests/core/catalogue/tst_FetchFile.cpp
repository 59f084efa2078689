#include "FakeHttpServer.h"
#include "TestEnv.h"
#include "core/catalogue/FetchFile.h"

#include <QFile>
#include <QSslConfiguration>
#include <QTimer>
#include <QtTest>
#include <sys/stat.h>

namespace {

const QString kUnrecognised =
    QStringLiteral("The server returned an unrecongonzied response.\r\n\r\n");
const QString kNoConnection = QStringLiteral(
    "Cannot establish connection.\r\r\nCheck your Internet connection and try again.\r\n");

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

class tst_FetchFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() {
        // Qt's report of a reply finished or aborted twice is a fault of ours.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("must only be called once")));
    }

    void headerRules_data() {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("message");
        QTest::newRow("401") << "HTTP/1.1 401 Unauthorized\r\n"
                             << "Authorization failed!\r\n";
        QTest::newRow("404 on HTTP/1.0") << "HTTP/1.0 404 Not Found\r\nServer: x\r\n"
                                         << "The file was not found!\r\n";
        QTest::newRow("CR LF where the code stands") << "HTTP/1.1 \r\n" << kNoConnection;
        QTest::newRow("other code keeps the first line up to its CR")
            << "HTTP/1.1 503 Busy\r\nRetry-After: 5\r\n"
            << kUnrecognised + "HTTP/1.1 503 Busy\r\r\n";
        QTest::newRow("empty header text") << "" << kUnrecognised + "\r\n";
        QTest::newRow("no CR at all") << "HTTP/1.1 302" << kUnrecognised + "\r\n";
    }
    void headerRules() {
        QFETCH(QString, header);
        QFETCH(QString, message);
        QCOMPARE(FetchRules::failureMessage(header), message);
    }

    void headerTextIsRebuilt() {
        const QString text = FetchRules::headerText(404, QStringLiteral("Not Found"),
                                                    {{"Content-Type", "text/html"}, {"X-A", "1"}});
        QCOMPARE(text,
                 QStringLiteral("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nX-A: 1\r\n"));
        QCOMPARE(FetchRules::statusOf(text), QStringLiteral("404"));
    }

    void writesExactBodyOverLongerCopy_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("text with CR LF") << QByteArray("SL1\r\n1\r\nhttp://a/\r\n");
        QTest::newRow("binary with zero bytes") << QByteArray("\x00\xff\x1a\r\n\x00", 6);
        QTest::newRow("exactly the largest accepted body")
            << QByteArray(int(FetchRules::kMaxBodyBytes), 'k');
    }
    void writesExactBodyOverLongerCopy() {
        QFETCH(QByteArray, body);
        TestEnv env;
        FakeHttpServer server;
        QVERIFY(server.listen());
        server.route("/list.dat", FakeResponse::ok(body));
        const QString file =
            env.writeFile(env.workDir() + "Kavro_SL.dat", QByteArray(body.size() + 100, 'o'));
        QVERIFY(FetchFile(env.ctx, server.url("/list.dat"), file));
        QCOMPARE(readAll(file), body);
        QCOMPARE(env.prompts.count(), 0);
        QCOMPARE(server.requestCount("/list.dat"), 1);
    }

    void followsRedirect() {
        TestEnv env;
        FakeHttpServer server;
        QVERIFY(server.listen());
        FakeResponse moved = FakeResponse::status("HTTP/1.1 302 Found", "");
        moved.headers.append({"Location", server.url("/new.dat").toLatin1()});
        server.route("/old.dat", moved);
        server.route("/new.dat", FakeResponse::ok("moved here"));
        const QString file = env.workDir() + "Kavro_CL.dat";
        QVERIFY(FetchFile(env.ctx, server.url("/old.dat"), file));
        QCOMPARE(readAll(file), QByteArray("moved here"));
    }

    // Every way a fetch can fail: exactly one box, title "Error", style 16, and the older copy
    // of the file untouched.
    void failureRows_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("requests");
        QTest::newRow("401") << "401"
                             << "Authorization failed!\r\n"
                             << 2;
        QTest::newRow("404") << "404"
                             << "The file was not found!\r\n"
                             << 2;
        QTest::newRow("500") << "500" << kUnrecognised + "HTTP/1.1 500 Internal Server Error\r\r\n"
                             << 2;
        QTest::newRow("empty body, failure path hears 200")
            << "empty" << kUnrecognised + "HTTP/1.1 200 OK\r\r\n"
            << 6;
        QTest::newRow("file cannot be written, failure path hears 200")
            << "unwritable" << kUnrecognised + "HTTP/1.1 200 OK\r\r\n"
            << 6;
        QTest::newRow("connection refused") << "refused" << kNoConnection << 0;
        // (Qt asks again by itself when a connection closes before any answer: count not fixed.)
        QTest::newRow("connection closed without an answer") << "drop" << kNoConnection << -1;
        QTest::newRow("body over the cap") << "huge" << kUnrecognised + "HTTP/1.1 200 OK\r\r\n"
                                           << 1;
        QTest::newRow("length announced over the cap")
            << "announced" << kUnrecognised + "HTTP/1.1 200 OK\r\r\n"
            << 1;
        QTest::newRow("answer without a status line counts as none")
            << "garbage" << kNoConnection << -1;
        // Only http and https are fetched: anything else is a malformed address, and nothing
        // is read from the machine itself (a FIFO would hang the read for good).
        QTest::newRow("file: address") << "file" << kNoConnection << 0;
        QTest::newRow("path to a FIFO") << "fifo" << kNoConnection << 0;
        QTest::newRow("data: address") << "data" << kNoConnection << 0;
        QTest::newRow("redirect to file:") << "redirect file" << kNoConnection << 2;
        QTest::newRow("redirect to ftp:") << "redirect ftp" << kNoConnection << 2;
        // Under 1 KB per window: the main path gives up, the failure path hears 200.
        QTest::newRow("trickle") << "trickle" << kUnrecognised + "HTTP/1.1 200 OK\r\r\n" << 6;
    }
    void failureRows() {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        QFETCH(int, requests);
        TestEnv env;
        FakeHttpServer server;
        QVERIFY(server.listen());
        QString url = server.url("/f.dat");
        QString file = env.writeFile(env.workDir() + "Kavro_SS.dat", "older copy");
        if (kind == "401")
            server.route("/f.dat", FakeResponse::status("HTTP/1.1 401 Unauthorized"));
        else if (kind == "404")
            server.route("/f.dat", FakeResponse::status("HTTP/1.1 404 Not Found"));
        else if (kind == "500")
            server.route("/f.dat", FakeResponse::status("HTTP/1.1 500 Internal Server Error"));
        else if (kind == "empty")
            server.route("/f.dat", FakeResponse::ok(""));
        else if (kind == "unwritable") {
            server.route("/f.dat", FakeResponse::ok("fine"));
            file = env.workDir() + "no such folder/Kavro_SS.dat";
        } else if (kind == "refused")
            url = QStringLiteral("http://127.0.0.1:%1/f.dat").arg(FakeHttpServer::closedPort());
        else if (kind == "drop") {
            FakeResponse r;
            r.dropWithoutResponse = true;
            server.route("/f.dat", r);
        } else if (kind == "huge") {
            const QString big = env.writeFile(env.root() + "big.bin",
                                              QByteArray(int(FetchRules::kMaxBodyBytes) + 1, 'b'));
            FakeResponse r;
            r.bodyFile = big;
            r.sendContentLength = false; // only the bytes themselves can tell
            server.route("/f.dat", r);
        } else if (kind == "announced") {
            FakeResponse r = FakeResponse::ok("short");
            r.contentLength = FetchRules::kMaxBodyBytes + 1;
            server.route("/f.dat", r);
        } else if (kind == "garbage") {
            server.route("/f.dat", FakeResponse::status("SPAM, not a status line", "x"));
        } else if (kind == "file") {
            url = QUrl::fromLocalFile(env.writeFile(env.root() + "secret.txt", "local")).toString();
        } else if (kind == "fifo") {
            const QString pipe = env.root() + "pipe";
            QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
            url = QUrl::fromLocalFile(pipe).toString();
        } else if (kind == "data") {
            url = QStringLiteral("data:text/plain,inline");
        } else if (kind.startsWith("redirect")) {
            FakeResponse moved = FakeResponse::status("HTTP/1.1 302 Found", "");
            moved.headers.append({"Location", kind.endsWith("file")
                                                  ? QUrl::fromLocalFile(env.root() + "x").toEncoded()
                                                  : QByteArray("ftp://127.0.0.1/x")});
            server.route("/f.dat", moved);
        } else if (kind == "trickle") {
            NetworkPolicy::setStallWindowMs(300);
            server.route("/f.dat", [] {
                FakeResponse r = FakeResponse::ok(QByteArray(2000, 't'));
                r.chunkSize = 1;
                r.chunkDelayMs = 100;
                return r;
            }());
        }
        const auto restoreWindow = qScopeGuard([] { NetworkPolicy::setStallWindowMs(0); });

        env.prompts.expect(MessageBoxService::Ok);
        QVERIFY(!FetchFile(env.ctx, url, file));
        QCOMPARE(env.prompts.count(), 1);
        QCOMPARE(env.prompts.last().text, message);
        QCOMPARE(env.prompts.last().title, QStringLiteral("Error"));
        QCOMPARE(env.prompts.last().style, 16);
        if (requests >= 0)
            QCOMPARE(int(server.requests().size()), requests);
        if (kind == "unwritable")
            QVERIFY(!QFile::exists(file));
        else
            QCOMPARE(readAll(file), QByteArray("older copy"));
    }

    // https end to end: a certificate the machine trusts works; one it does not is refused with
    // its own message, never accepted silently.
    void secureServer_data() {
        QTest::addColumn<bool>("trusted");
        QTest::newRow("trusted certificate") << true;
        QTest::newRow("self-signed, not trusted") << false;
    }
    void secureServer() {
        QFETCH(bool, trusted);
        TestEnv env;
        QString why;
        const QSslConfiguration tls = FakeHttpServer::selfSignedTls(env.root(), &why);
        if (tls.isNull())
            QSKIP(qPrintable(why));
        FakeHttpServer server;
        QVERIFY(server.listenTls(tls));
        server.route("/list.dat", FakeResponse::ok("over TLS"));
        const QSslConfiguration before = QSslConfiguration::defaultConfiguration();
        const auto restore =
            qScopeGuard([before] { QSslConfiguration::setDefaultConfiguration(before); });
        if (trusted) {
            QSslConfiguration withOurs = before;
            withOurs.addCaCertificate(tls.localCertificate());
            QSslConfiguration::setDefaultConfiguration(withOurs);
        }
        const QString file = env.writeFile(env.workDir() + "Kavro_SL.dat", "older copy");
        if (!trusted)
            env.prompts.expect(MessageBoxService::Ok);
        QCOMPARE(FetchFile(env.ctx, server.url("/list.dat"), file), trusted);
        QCOMPARE(readAll(file), trusted ? QByteArray("over TLS") : QByteArray("older copy"));
        QCOMPARE(env.prompts.count(), trusted ? 0 : 1);
        if (!trusted)
            QVERIFY2(env.prompts.last().text.startsWith(
                         "Cannot establish a secure connection.\r\r\n"
                         "The server's certificate could not be verified: "),
                     qPrintable(env.prompts.last().text));
    }

    void programEndStopsTheWait() {
        TestEnv env;
        FakeHttpServer server;
        QVERIFY(server.listen());
        FakeResponse slow = FakeResponse::ok(QByteArray(4000, 's'));
        slow.chunkSize = 10;
        slow.chunkDelayMs = 50;
        server.route("/slow.dat", slow);
        const QString file = env.writeFile(env.workDir() + "Kavro_SS.dat", "older copy");
        QTimer::singleShot(100, &env.programEnd, [&env] { env.programEnd.EndProgram(); });
        QElapsedTimer t;
        t.start();
        QVERIFY(!FetchFile(env.ctx, server.url("/slow.dat"), file));
        QVERIFY(t.elapsed() < 5000);
        QCOMPARE(env.prompts.count(), 0);
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(readAll(file), QByteArray("older copy"));
        // Once ended, nothing more is asked of the server.
        QVERIFY(!FetchFile(env.ctx, server.url("/slow.dat"), file));
        QCOMPARE(server.requests().size(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_FetchFile)
#include "tst_FetchFile.moc"
