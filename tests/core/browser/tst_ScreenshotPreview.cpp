// The preview's decisions against a loopback server: which state, fetch or the file, and what is
// remembered of the file. The window's side (widgets, pictures) is tst_PreviewRefresh's.
#include "FakeHttpServer.h"
#include "TestEnv.h"
#include "TestFiles.h"
#include "core/browser/ScreenshotPreview.h"
#include "core/session/Session.h"

#include <QtTest>

using ScreenshotPreview::State;

namespace {

QString name(State s) {
    switch (s) {
    case State::Off:
        return QStringLiteral("Off");
    case State::Shown:
        return QStringLiteral("Shown");
    case State::NoShot:
        return QStringLiteral("NoShot");
    case State::Fetching:
        return QStringLiteral("Fetching");
    }
    return QString();
}

} // namespace

class tst_ScreenshotPreview : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void highlights_data() {
        // bodies: entry k's screenshot at "/k" ("" no address, "404" missing; a picture is any
        // body starting with "PIC"). steps: list positions highlighted, "off"/"on" toggles.
        QTest::addColumn<QStringList>("bodies");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("states");
        QTest::addColumn<QString>("requests");
        const QStringList ab{"PIC a", "PIC b"};
        QTest::newRow("A, B, A: only the last position is remembered") << ab << "0 1 0"
                                                                       << "Shown Shown Shown"
                                                                       << "/1 /2 /1";
        QTest::newRow("A, B missing, A: shown from the file")
            << QStringList{"PIC a", "404"} << "0 1 0"
            << "Shown NoShot Shown"
            << "/1 /2 /2"; // the failure's text comes from a second request
        QTest::newRow("A, B not a picture, A: fetched again")
            << QStringList{"PIC a", "<html>moved</html>"} << "0 1 0"
            << "Shown NoShot Shown"
            << "/1 /2 /1";
        QTest::newRow("not a picture twice: fetched twice") << QStringList{"<html>"} << "0 -1 0"
                                                            << "NoShot NoShot NoShot"
                                                            << "/1 /1";
        QTest::newRow("nothing highlighted") << ab << "-1"
                                             << "NoShot"
                                             << "";
        QTest::newRow("no address") << QStringList{""} << "0"
                                    << "NoShot"
                                    << "";
        QTest::newRow("previews off") << ab << "off 0 1"
                                      << "Off Off Off"
                                      << "";
        QTest::newRow("off and on again: from the file") << ab << "0 off on"
                                                         << "Shown Off Shown"
                                                         << "/1";
    }
    void highlights() {
        QFETCH(QStringList, bodies);
        QFETCH(QString, steps);
        TestEnv env;
        env.prompts.setAutoOk(true); // a missing screenshot's box
        FakeHttpServer server;
        QVERIFY(server.listen());
        Session& s = env.session;
        for (int k = 1; k <= bodies.size(); ++k) {
            const QString path = QStringLiteral("/") + QString::number(k);
            const QString body = bodies.at(k - 1);
            s.CarShotURLs << (body.isEmpty() ? QString() : server.url(path));
            if (body == QStringLiteral("404"))
                server.route(path, FakeResponse::status("HTTP/1.1 404 Not Found"));
            else
                server.route(path, FakeResponse::ok(body.toLatin1()));
        }

        bool on = true;
        qint16 p = -1;
        qint16 last = -1;
        QStringList states;
        for (const QString& step : steps.split(u' ')) {
            if (step == QStringLiteral("off") || step == QStringLiteral("on"))
                on = step == QStringLiteral("on");
            else
                p = qint16(step.toInt());
            // One refresh, as the browser runs it.
            const qint32 i = p < 0 ? 0 : p + 1;
            const ScreenshotPreview::Plan plan = ScreenshotPreview::plan(s, on, p, i, last);
            State state = plan.state;
            if (state == State::Fetching) {
                if (plan.fetch && !ScreenshotPreview::fetch(env.ctx, plan.url, last)) {
                    state = State::NoShot;
                } else {
                    const bool picture =
                        TestFiles::readAll(ScreenshotPreview::file(s)).startsWith("PIC");
                    state = ScreenshotPreview::settle(picture, p, last);
                }
            }
            states << name(state);
        }
        QTEST(states.join(u' '), "states");
        QTEST(server.requests().join(u' '), "requests");
    }
};

QTEST_GUILESS_MAIN(tst_ScreenshotPreview)
#include "tst_ScreenshotPreview.moc"
