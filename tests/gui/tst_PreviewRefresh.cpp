#include "FakeHttpServer.h"
#include "PictureBytes.h"
#include "TestEnv.h"
#include "core/session/AppSettings.h"
#include "gui/frmCars.h"
#include "gui/frmSS.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <memory>

namespace {

struct Entry {
    QString name;
    QString author;
    QString shotPath; // on the fake server; empty: the entry has no screenshot
};

QImage solid(QColor c, int w = 64, int h = 48) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

// A browser filled the way the server window fills it, against a fake catalogue server.
struct Browser {
    TestEnv env;
    FakeHttpServer server;
    std::unique_ptr<frmCars> w;

    explicit Browser(const QList<Entry>& entries, int format = 1, bool previews = true) {
        server.listen();
        Session& s = env.session;
        s.CatalogueFormat = qint16(format);
        for (const Entry& e : entries) {
            s.CarNames << e.name;
            s.CarAuthors << (format == 1 ? e.author : QString());
            s.CarShotURLs << (e.shotPath.isEmpty() ? QString() : server.url(e.shotPath));
            s.CarZipURLs << server.url("/" + e.name + ".zip");
        }
        env.settings->WriteSetting(RegistryRoot::CurrentUser, AppSettings::kAppKey, "loadss",
                                   previews ? "True" : "False");
        w = std::make_unique<frmCars>(env.ctx);
        if (format == 0)
            w->txtAuthor->hide();
        for (int i = 1; i <= s.carCount(); ++i)
            w->addCar(s.CarNames[i], i);
        w->show();
    }

    // The first refresh from the browser's timer has run.
    bool firstRefreshDone() const { return !w->tmrFirstSS->isActive(); }
    void highlight(int row) { w->lstCars->setCurrentRow(row); }
    QString caption() const { return w->lblInfo6->text(); }
    bool showsPicture() const { return !w->imgSS->pixmap().isNull(); }
    QColor pictureColour() const { return w->imgSS->pixmap().toImage().pixelColor(2, 2); }
};

} // namespace

class tst_PreviewRefresh : public QObject {
    Q_OBJECT

    // Shown state: list beside the preview, caption, picture and full-size button on, idle.
    static void verifyShown(Browser& b) {
        QCOMPARE(b.w->lstCars->width(), 2475 / 15);
        QCOMPARE(b.caption(), QStringLiteral("Screen Shot"));
        QVERIFY(b.showsPicture());
        QVERIFY(b.w->imgSS->isEnabled());
        QVERIFY(b.w->imgSS->isVisible());
        QVERIFY(b.w->cmdSS->isEnabled());
        QVERIFY(b.w->lstCars->isEnabled());
        QCOMPARE(b.w->lblStatus->text(), QStringLiteral("."));
    }
    static void verifyNoShot(Browser& b) {
        QCOMPARE(b.w->lstCars->width(), 2475 / 15);
        QCOMPARE(b.caption(), QStringLiteral("No Screen Shot Available"));
        QVERIFY(!b.showsPicture());
        QVERIFY(!b.w->imgSS->isEnabled());
        QVERIFY(b.w->imgSS->isVisible());
        QVERIFY(!b.w->cmdSS->isEnabled());
        QVERIFY(b.w->lstCars->isEnabled());
        QCOMPARE(b.w->lblStatus->text(), QStringLiteral("."));
    }

private Q_SLOTS:
    void firstRefreshWithNothingHighlighted() {
        Browser b({{"Alpha", "Ann", "/a.png"}});
        QTRY_VERIFY(b.firstRefreshDone());
        verifyNoShot(b);
        QCOMPARE(b.w->txtAuthor->text(), QString());
        QVERIFY(b.server.requests().isEmpty());
        QCOMPARE(b.env.prompts.count(), 0);
    }

    void authorLine_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("author");
        QTest::addColumn<QString>("line");
        QTest::newRow("name") << 1 << "Ann Lee"
                              << "Author : Ann Lee";
        QTest::newRow("N/A") << 1 << "N/A"
                             << "Author : Unknown";
        QTest::newRow("n/a") << 1 << "n/a"
                             << "Author : Unknown";
        QTest::newRow("n/A") << 1 << "n/A"
                             << "Author : Unknown";
        QTest::newRow("padded is a name") << 1 << " n/a"
                                          << "Author :  n/a";
        QTest::newRow("empty") << 1 << ""
                               << "";
        QTest::newRow("legacy layout leaves the line alone") << 0 << ""
                                                             << "";
    }
    void authorLine() {
        QFETCH(int, format);
        QFETCH(QString, author);
        Browser b({{"Alpha", author, ""}, {"Beta", "Bob", ""}}, format);
        QTRY_VERIFY(b.firstRefreshDone());
        b.highlight(1);
        b.highlight(0);
        QTEST(b.w->txtAuthor->text(), "line");
        verifyNoShot(b); // no screenshot address: no fetch, no message
        QVERIFY(b.server.requests().isEmpty());
        QCOMPARE(b.env.prompts.count(), 0);
    }

    // Only the last list position is remembered: A, B, A fetches A twice.
    void fetchesForEveryOtherPosition() {
        Browser b({{"Alpha", "Ann", "/a.png"}, {"Beta", "Bob", "/b.png"}});
        b.server.route("/a.png", FakeResponse::ok(PictureBytes::encode(solid(Qt::red), "png")));
        b.server.route("/b.png", FakeResponse::ok(PictureBytes::encode(solid(Qt::blue), "png")));
        QTRY_VERIFY(b.firstRefreshDone());
        b.highlight(0);
        QTRY_COMPARE(b.server.requests(), QStringList({"/a.png"}));
        verifyShown(b);
        QVERIFY(PictureBytes::near(b.pictureColour(), Qt::red, 0));
        QCOMPARE(b.w->LastShotIndex, qint16(0));
        b.highlight(1);
        QTRY_COMPARE(b.server.requests(), QStringList({"/a.png", "/b.png"}));
        QVERIFY(PictureBytes::near(b.pictureColour(), Qt::blue, 0));
        b.highlight(0);
        QTRY_COMPARE(b.server.requests(), QStringList({"/a.png", "/b.png", "/a.png"}));
        verifyShown(b);
        QVERIFY(PictureBytes::near(b.pictureColour(), Qt::red, 0));
        QCOMPARE(b.env.prompts.count(), 0);
    }

    void previewsOffAndOnAgainFetchNothing() {
        Browser b({{"Alpha", "Ann", "/a.png"}, {"Beta", "Bob", "/b.png"}});
        b.server.route("/a.png", FakeResponse::ok(PictureBytes::encode(solid(Qt::red), "png")));
        QTRY_VERIFY(b.firstRefreshDone());
        b.highlight(0);
        QTRY_COMPARE(b.server.requestCount("/a.png"), 1);

        b.w->mnuVSS->trigger(); // off
        QVERIFY(!b.w->mnuVSS->isChecked());
        QCOMPARE(b.w->lstCars->width(), 5115 / 15);
        QCOMPARE(b.caption(), QString());
        QVERIFY(!b.showsPicture());
        QVERIFY(!b.w->cmdSS->isEnabled());
        QVERIFY(!b.w->imgSS->isEnabled());
        QVERIFY(b.w->lstCars->isEnabled());
        // The wide list covers the preview box up to its right edge.
        QCOMPARE(b.w->lstCars->geometry().right() + 1, b.w->imgSS->geometry().right() + 1);

        b.w->mnuVSS->trigger(); // on: the file still holds A
        verifyShown(b);
        QVERIFY(PictureBytes::near(b.pictureColour(), Qt::red, 0));
        QCOMPARE(b.server.requests(), QStringList({"/a.png"}));
    }

    void previewsOffFetchNothingButShowTheAuthor() {
        Browser b({{"Alpha", "Ann", "/a.png"}, {"Beta", "N/A", "/b.png"}}, 1, false);
        QTRY_VERIFY(b.firstRefreshDone());
        QVERIFY(!b.w->mnuVSS->isChecked());
        QCOMPARE(b.w->lstCars->width(), 5115 / 15);
        b.highlight(0);
        QCOMPARE(b.w->txtAuthor->text(), QStringLiteral("Author : Ann"));
        b.highlight(1);
        QCOMPARE(b.w->txtAuthor->text(), QStringLiteral("Author : Unknown"));
        QCOMPARE(b.w->lstCars->width(), 5115 / 15);
        QVERIFY(!b.w->cmdSS->isEnabled());
        QCOMPARE(b.w->lblStatus->text(), QStringLiteral("."));
        QVERIFY(b.server.requests().isEmpty());
    }

    // A failed fetch leaves the file and the remembered position alone.
    void failedFetchThenBackToTheShownEntry() {
        Browser b({{"Alpha", "Ann", "/a.png"}, {"Beta", "Bob", "/b.png"}});
        b.server.route("/a.png", FakeResponse::ok(PictureBytes::encode(solid(Qt::red), "png")));
        QTRY_VERIFY(b.firstRefreshDone());
        b.highlight(0);
        QTRY_COMPARE(b.server.requestCount("/a.png"), 1);
        verifyShown(b);

        b.env.prompts.expect(MessageBoxService::Ok);
        b.highlight(1); // 404
        QTRY_COMPARE(b.env.prompts.count(), 1);
        QCOMPARE(b.env.prompts.last().title, QStringLiteral("Error"));
        QCOMPARE(b.env.prompts.last().style, 16);
        QCOMPARE(b.env.prompts.last().text, QStringLiteral("The file was not found!\r\n"));
        verifyNoShot(b);
        QCOMPARE(b.w->LastShotIndex, qint16(0));

        const int requests = int(b.server.requests().size());
        b.highlight(0);
        verifyShown(b);
        QVERIFY(PictureBytes::near(b.pictureColour(), Qt::red, 0));
        QCOMPARE(b.server.requests().size(), requests); // shown from the file
        QCOMPARE(b.env.prompts.unexpectedCount(), 0);
    }

    // A page that is not a picture replaced the file: A is fetched again and shown.
    void notAPictureThenBackToTheShownEntry() {
        Browser b({{"Alpha", "Ann", "/a.png"}, {"Beta", "Bob", "/b.html"}});
        b.server.route("/a.png", FakeResponse::ok(PictureBytes::encode(solid(Qt::red), "png")));
        b.server.route("/b.html", FakeResponse::ok("<html><body>moved</body></html>"));
        QTRY_VERIFY(b.firstRefreshDone());
        b.highlight(0);
        QTRY_VERIFY(b.showsPicture());
        b.highlight(1);
        QTRY_COMPARE(b.server.requestCount("/b.html"), 1);
        verifyNoShot(b);
        b.highlight(0);
        QTRY_COMPARE(b.server.requestCount("/a.png"), 2);
        verifyShown(b);
        QVERIFY(PictureBytes::near(b.pictureColour(), Qt::red, 0));
        QCOMPARE(b.env.prompts.count(), 0);
    }

    // Previews off: the wide list takes the mouse over all of its area, the part over the
    // preview box included (clicks go through the window, as a user's do).
    void wideListTakesTheMouse() {
        QList<Entry> many;
        for (int k = 1; k <= 40; ++k)
            many.append({QStringLiteral("Car %1").arg(k, 2, 10, QChar('0')), "Ann", "/a.png"});
        Browser b(many, 1, false);
        QTRY_VERIFY(b.firstRefreshDone());
        QListWidget* list = b.w->lstCars;
        QWindow* window = b.w->windowHandle();
        QVERIFY(QTest::qWaitForWindowExposed(b.w.get()));
        const QRect row = list->visualItemRect(list->item(2));
        const QPoint right =
            list->viewport()->mapTo(b.w.get(), QPoint(row.right() - 4, row.center().y()));
        QVERIFY(b.w->imgSS->geometry().translated(b.w->frmCarsx->pos()).contains(right));
        QTest::mouseClick(window, Qt::LeftButton, {}, right);
        QCOMPARE(list->currentRow(), 2);

        QScrollBar* bar = list->verticalScrollBar();
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->value(), 0);
        QStyleOptionSlider opt;
        opt.initFrom(bar);
        opt.orientation = Qt::Vertical;
        opt.minimum = bar->minimum();
        opt.maximum = bar->maximum();
        opt.sliderPosition = bar->sliderPosition();
        opt.sliderValue = bar->value();
        opt.pageStep = bar->pageStep();
        opt.singleStep = bar->singleStep();
        const QRect handle = bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt,
                                                          QStyle::SC_ScrollBarSlider, bar);
        const QPoint grab = bar->mapTo(b.w.get(), handle.center());
        QTest::mousePress(window, Qt::LeftButton, {}, grab);
        QTest::mouseMove(window, grab + QPoint(0, 40));
        QTest::mouseRelease(window, Qt::LeftButton, {}, grab + QPoint(0, 40));
        QVERIFY(bar->value() > 0);
        QCOMPARE(b.w->childAt(right), list->viewport());
    }

    void pictureFormats_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("shown");
        const QImage q = PictureBytes::quadrants(320, 240);
        QTest::newRow("bmp") << PictureBytes::encode(q, "bmp") << true;
        QTest::newRow("gif") << PictureBytes::encode(q, "gif") << true;
        QTest::newRow("jpeg") << PictureBytes::encode(q, "jpeg") << true;
        QTest::newRow("png") << PictureBytes::encode(q, "png") << true;
        QTest::newRow("ico") << PictureBytes::encode(PictureBytes::quadrants(48, 48), "ico")
                             << true;
        QTest::newRow("html page") << QByteArray("<html><body>moved</body></html>") << false;
        QTest::newRow("cut jpeg") << PictureBytes::encode(q, "jpeg").left(30) << false;
    }
    void pictureFormats() {
        QFETCH(QByteArray, body);
        QFETCH(bool, shown);
        Browser b({{"Alpha", "Ann", "/shot"}});
        b.server.route("/shot", FakeResponse::ok(body));
        QTRY_VERIFY(b.firstRefreshDone());
        b.highlight(0);
        QTRY_COMPARE(b.server.requestCount("/shot"), 1);
        if (shown) {
            verifyShown(b);
            QVERIFY(PictureBytes::near(b.pictureColour(), Qt::red));
            QCOMPARE(b.w->LastShotIndex, qint16(0));
            QVERIFY(b.w->imgSS->hasScaledContents());
        } else {
            // Not a picture: no message, and highlighting it again fetches it again.
            verifyNoShot(b);
            QCOMPARE(b.w->LastShotIndex, qint16(-1));
            b.w->lstCars->setCurrentRow(-1);
            b.highlight(0);
            QTRY_COMPARE(b.server.requestCount("/shot"), 2);
            verifyNoShot(b);
        }
        QCOMPARE(b.env.prompts.count(), 0);
    }

    // While the screenshot travels, only Exit stays usable and the status says so.
    void fetchingState() {
        Browser b({{"Alpha", "Ann", "/slow.png"}});
        FakeResponse slow = FakeResponse::ok(PictureBytes::encode(solid(Qt::red), "png"));
        slow.chunkSize = 16;
        slow.chunkDelayMs = 20;
        b.server.route("/slow.png", slow);
        QTRY_VERIFY(b.firstRefreshDone());
        bool sampled = false;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (sampled || b.w->lblStatus->text() != QStringLiteral("Loading Screen Shot..."))
                return;
            sampled = true;
            QVERIFY(b.w->imgSS->isHidden());
            QCOMPARE(b.caption(), QStringLiteral("Screen Shot"));
            QCOMPARE(b.w->lstCars->width(), 2475 / 15);
            QVERIFY(!b.w->lstCars->isEnabled());
            QVERIFY(!b.w->cmdSS->isEnabled());
            QVERIFY(!b.w->cmdOpt->isEnabled());
            QVERIFY(!b.w->cmdDownload->isEnabled());
            QVERIFY(b.w->cmdConnect->isEnabled());
        });
        probe.start(5);
        b.highlight(0);
        QTRY_VERIFY(b.showsPicture());
        QVERIFY(sampled);
        verifyShown(b);
    }

    // The full-size button and the preview image open the viewer on the same file.
    void opensTheViewer() {
        Browser b({{"Alpha", "Ann", "/a.png"}});
        b.server.route("/a.png",
                       FakeResponse::ok(PictureBytes::encode(solid(Qt::red, 640, 480), "png")));
        QTRY_VERIFY(b.firstRefreshDone());
        b.highlight(0);
        QTRY_VERIFY(b.showsPicture());
        for (QWidget* opener :
             {static_cast<QWidget*>(b.w->cmdSS), static_cast<QWidget*>(b.w->imgSS)}) {
            QSize seen;
            QTimer watch;
            QObject::connect(&watch, &QTimer::timeout, [&] {
                for (QWidget* t : QApplication::topLevelWidgets()) {
                    auto* v = qobject_cast<frmSS*>(t);
                    if (v && v->isVisible()) {
                        seen = v->pic2->pixmap().size();
                        v->reject();
                    }
                }
            });
            watch.start(20);
            QTest::mouseClick(opener, Qt::LeftButton);
            watch.stop();
            QCOMPARE(seen, QSize(640, 480));
        }
    }
};

QTEST_MAIN(tst_PreviewRefresh)
#include "tst_PreviewRefresh.moc"
