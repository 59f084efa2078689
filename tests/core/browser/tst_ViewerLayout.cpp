#include "core/browser/ViewerLayout.h"

#include <QtTest>

// The viewer's first outer size: a 6180 x 4230 twip client area in the standard frame, with
// 255-twip bars, gives a 5925 x 3960 twip (395 x 264 pixel) viewport.
static constexpr int kOuterW = 6180 + ViewerLayout::StandardFrameWidth;
static constexpr int kOuterH = 4230 + ViewerLayout::StandardFrameHeight;

static ViewerLayout laidOut(int pw, int ph, int outerW = kOuterW, int outerH = kOuterH) {
    ViewerLayout l;
    l.setBarThickness(255, 255);
    l.setPictureSize(pw, ph);
    l.layout(outerW, outerH);
    return l;
}

class tst_ViewerLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void barsAndViewportFollowTheOuterSize() {
        const ViewerLayout l = laidOut(10, 10);
        QCOMPARE(l.pic1().width, 5925);
        QCOMPARE(l.pic1().height, 3960);
        // The vertical bar flush with the client's right edge, the horizontal one a pixel above
        // its bottom edge.
        QCOMPARE(l.vs().left, 5925);
        QCOMPARE(l.vs().left + l.vs().width, 6180);
        QCOMPARE(l.vs().height, 3960);
        QCOMPARE(l.hs().top, 3960);
        QCOMPARE(l.hs().top + l.hs().height, 4230 - 15);
        QCOMPARE(l.hs().width, 5925);
    }

    void fit_data() {
        QTest::addColumn<int>("pw");
        QTest::addColumn<int>("ph");
        QTest::addColumn<bool>("hEnabled");
        QTest::addColumn<int>("hMax");
        QTest::addColumn<int>("left");
        QTest::addColumn<bool>("vEnabled");
        QTest::addColumn<int>("vMax");
        QTest::addColumn<int>("top");
        // 395 x 264 pixel viewport.
        QTest::newRow("small picture centred")
            << 100 << 50 << false << 0 << (5925 - 1500) / 2 << false << 0 << (3960 - 750) / 2;
        QTest::newRow("exactly the viewport") << 395 << 264 << false << 0 << 0 << false << 0 << 0;
        QTest::newRow("one pixel wider: one unit")
            << 396 << 264 << true << 1 << 0 << false << 0 << 0;
        QTest::newRow("60.5 rounds up to 61")
            << 1000 << 10 << true << 61 << 0 << false << 0 << (3960 - 150) / 2;
        QTest::newRow("61.5 rounds up to 62")
            << 1010 << 10 << true << 62 << 0 << false << 0 << (3960 - 150) / 2;
        QTest::newRow("60.6 rounds up")
            << 1001 << 10 << true << 61 << 0 << false << 0 << (3960 - 150) / 2;
        QTest::newRow("60.4 rounds up too")
            << 999 << 10 << true << 61 << 0 << false << 0 << (3960 - 150) / 2;
        QTest::newRow("whole units stay")
            << 995 << 10 << true << 60 << 0 << false << 0 << (3960 - 150) / 2;
        QTest::newRow("tall picture")
            << 10 << 600 << false << 0 << (5925 - 150) / 2 << true << 34 << 0; // 33.6
        QTest::newRow("no picture") << 0 << 0 << false << 0 << 5925 / 2 << false << 0 << 3960 / 2;
        QTest::newRow("wider than 16 bits of units")
            << 400000 << 1 << true << 32767 << 0 << false << 0 << (3960 - 15) / 2;
    }
    void fit() {
        QFETCH(int, pw);
        QFETCH(int, ph);
        const ViewerLayout l = laidOut(pw, ph);
        QTEST(l.hsBar().enabled, "hEnabled");
        QTEST(l.hsBar().maximum, "hMax");
        QTEST(l.pic2().left, "left");
        QTEST(l.vsBar().enabled, "vEnabled");
        QTEST(l.vsBar().maximum, "vMax");
        QTEST(l.pic2().top, "top");
        QCOMPARE(l.pic2().width, pw * 15);
        QCOMPARE(l.pic2().height, ph * 15);
    }

    void scrollingMovesThePictureByTenPixelUnits() {
        ViewerLayout l = laidOut(1000, 600);
        QVERIFY(l.setHsValue(7));
        QCOMPARE(l.pic2().left, -7 * 150);
        QVERIFY(l.setVsValue(34));
        QCOMPARE(l.pic2().top, -34 * 150);
        QVERIFY(!l.setVsValue(34)); // no change, no move
        QVERIFY(l.setHsValue(1000));
        QCOMPARE(l.hsBar().value, 61); // clamped into the range
        QCOMPARE(l.pic2().left, -61 * 150);
    }

    // The window grows in steps: the maximum drops below the position and pulls it (and the
    // picture) along, until the picture fits: bar disabled, position 0, picture centred.
    void growingUntilThePictureFits() {
        ViewerLayout l = laidOut(1000, 10);
        l.setHsValue(61);
        l.layout(kOuterW + 300 * 15, kOuterH); // viewport 695 px: 30.5 -> 31
        QVERIFY(l.hsBar().enabled);
        QCOMPARE(l.hsBar().maximum, 31);
        QCOMPARE(l.hsBar().value, 31);
        QCOMPARE(l.pic2().left, -31 * 150);
        l.layout(kOuterW + 700 * 15, kOuterH); // viewport 1095 px
        QVERIFY(!l.hsBar().enabled);
        QCOMPARE(l.hsBar().maximum, 0);
        QCOMPARE(l.hsBar().value, 0);
        QCOMPARE(l.pic2().left, (1095 - 1000) * 15 / 2);
    }

    void shrinkingWhileCentredScrollsFromTheLeftEdge() {
        ViewerLayout l = laidOut(300, 10);
        QCOMPARE(l.pic2().left, (5925 - 4500) / 2);
        l.layout(kOuterW - 195 * 15, kOuterH); // viewport 200 px
        QVERIFY(l.hsBar().enabled);
        QCOMPARE(l.hsBar().maximum, 10);
        QCOMPARE(l.hsBar().value, 0);
        QCOMPARE(l.pic2().left, 0);
    }

    void tinyWindowKeepsTheLastViewportSize() {
        ViewerLayout l = laidOut(1000, 600);
        l.layout(200, 300);
        QCOMPARE(l.pic1().width, 5925);
        QCOMPARE(l.pic1().height, 3960);
        QCOMPARE(l.vs().left, 200 - 255 - 120);
        QCOMPARE(l.hs().top, 300 - 255 - 420);
        QCOMPARE(l.hsBar().maximum, 61);
    }

    void drag_data() {
        QTest::addColumn<int>("pw");
        QTest::addColumn<int>("ph");
        QTest::addColumn<QList<QPointF>>("moves"); // after a press at (1000, 1000)
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("v");
        using P = QPointF;
        QTest::newRow("far right in one move: one unit")
            << 1000 << 600 << QList<P>{{90000, 1000}} << 1 << 0;
        QTest::newRow("right and down twice")
            << 1000 << 600 << QList<P>{{1001, 1001}, {1002, 1500}} << 2 << 2;
        QTest::newRow("still pointer scrolls nothing")
            << 1000 << 600 << QList<P>{{1000, 1000}} << 0 << 0;
        QTest::newRow("press and release only") << 1000 << 600 << QList<P>{} << 0 << 0;
        QTest::newRow("left at position 0 stays") << 1000 << 600 << QList<P>{{10, 10}} << 0 << 0;
        QTest::newRow("there and back")
            << 1000 << 600 << QList<P>{{1100, 1100}, {1200, 1200}, {1150, 1250}} << 1 << 3;
        QTest::newRow("small picture never moves")
            << 100 << 50 << QList<P>{{5000, 5000}, {9000, 9000}} << 0 << 0;
    }
    void drag() {
        QFETCH(int, pw);
        QFETCH(int, ph);
        QFETCH(QList<QPointF>, moves);
        ViewerLayout l = laidOut(pw, ph);
        const int left0 = l.pic2().left;
        l.press(1000, 1000);
        for (const QPointF& p : moves)
            QVERIFY(l.move(p.x(), p.y()));
        l.release();
        QTEST(l.hsBar().value, "h");
        QTEST(l.vsBar().value, "v");
        if (l.hsBar().enabled)
            QCOMPARE(l.pic2().left, -l.hsBar().value * 150);
        else
            QCOMPARE(l.pic2().left, left0);
        // Released: moving no longer scrolls.
        QVERIFY(!l.move(99999, 99999));
        QTEST(l.hsBar().value, "h");
    }

    void roundsUp_data() {
        QTest::addColumn<qint64>("num");
        QTest::addColumn<qint64>("den");
        QTest::addColumn<int>("result");
        QTest::newRow("0.5") << qint64(5) << qint64(10) << 1;
        QTest::newRow("1.5") << qint64(15) << qint64(10) << 2;
        QTest::newRow("2.0") << qint64(20) << qint64(10) << 2;
        QTest::newRow("2.1") << qint64(21) << qint64(10) << 3;
        QTest::newRow("-2.5") << qint64(-25) << qint64(10) << -2;
        QTest::newRow("no denominator") << qint64(1) << qint64(0) << 0;
        QTest::newRow("16-bit limit") << qint64(40000) << qint64(1) << 32767;
    }
    void roundsUp() {
        QFETCH(qint64, num);
        QFETCH(qint64, den);
        QTEST(int(ViewerLayout::roundUp(num, den)), "result");
    }
};

QTEST_GUILESS_MAIN(tst_ViewerLayout)
#include "tst_ViewerLayout.moc"
