#include "core/welcome/CreditsScroll.h"

#include <QtTest>

// The scroll without its window: the strip with the credits rises from below the box, holds once
// its end has passed the box's bottom edge, stops, and starts over from below on a click.
class tst_CreditsScroll : public QObject {
    Q_OBJECT

    static constexpr qint32 kBox = 1395;

    // Ticks until the scroll switches to its hold tick; checks every step on the way.
    static int runToHold(CreditsScroll& s, int limit = 100000) {
        int ticks = 0;
        while (s.interval() == CreditsScroll::kTickInterval && ticks < limit) {
            const qint32 before = s.offset();
            s.tick();
            ++ticks;
            if (s.interval() == CreditsScroll::kTickInterval) {
                if (s.offset() != before + s.speed() || s.stripTop() != kBox - s.offset() ||
                    !s.timerEnabled())
                    return -ticks;
            }
        }
        return ticks;
    }

private Q_SLOTS:
    void startsBelowTheBox() {
        CreditsScroll s(kBox, 9000);
        QCOMPARE(s.stripTop(), kBox);
        QCOMPARE(s.offset(), 0);
        QCOMPARE(s.speed(), 30);
        QVERIFY(s.timerEnabled());
        QCOMPARE(s.interval(), 10);
    }

    void wholeCycle_data() {
        QTest::addColumn<qint32>("stripHeight");
        QTest::addColumn<bool>("overCredits");
        QTest::addColumn<int>("ticksToEnd");
        // The end is reached on the first step whose offset exceeds the strip's height.
        QTest::newRow("long text, speed 30") << qint32(14865) << false << 14865 / 30 + 1;
        QTest::newRow("long text, speed 20") << qint32(14865) << true << 14865 / 20 + 1;
        QTest::newRow("height a multiple of the speed") << qint32(900) << false << 31;
        QTest::newRow("text shorter than the box") << qint32(300) << true << 16;
        QTest::newRow("empty text") << qint32(0) << false << 1;
    }
    void wholeCycle() {
        QFETCH(qint32, stripHeight);
        QFETCH(bool, overCredits);
        QFETCH(int, ticksToEnd);
        CreditsScroll s(kBox, stripHeight);
        if (overCredits)
            s.mouseOverCredits();
        const qint32 speed = s.speed();

        QCOMPARE(runToHold(s), ticksToEnd);
        // The last step put the strip's end just above the box's bottom edge; the step before
        // had not got there yet.
        const qint32 endTop = s.stripTop();
        QCOMPARE(endTop, kBox - qint32(ticksToEnd) * speed);
        QVERIFY(endTop + stripHeight < kBox);
        QVERIFY(endTop + speed + stripHeight >= kBox);
        // Hold: the timer runs once more at 5 s, the offset is already back at 0.
        QVERIFY(s.timerEnabled());
        QCOMPARE(s.interval(), 5000);
        QCOMPARE(s.offset(), 0);

        // The hold tick stops the scroll; the text stays where it ended.
        s.tick();
        QVERIFY(!s.timerEnabled());
        QCOMPARE(s.interval(), 10);
        QCOMPARE(s.stripTop(), endTop);

        // A click starts it again: the text rises once more from just below the box.
        s.click();
        QVERIFY(s.timerEnabled());
        QCOMPARE(s.interval(), 10);
        s.tick();
        QCOMPARE(s.stripTop(), kBox - speed);
        QCOMPARE(runToHold(s), ticksToEnd - 1);
        QCOMPARE(s.stripTop(), endTop);
    }

    void clicksPauseAndResume() {
        CreditsScroll s(kBox, 14865);
        for (int i = 0; i < 7; ++i)
            s.tick();
        QCOMPARE(s.offset(), 210);
        s.click();
        QVERIFY(!s.timerEnabled());
        QCOMPARE(s.stripTop(), kBox - 210);
        s.click();
        QVERIFY(s.timerEnabled());
        QCOMPARE(s.interval(), 10);
        s.tick();
        QCOMPARE(s.offset(), 240);
        QCOMPARE(s.stripTop(), kBox - 240);
    }

    void clickDuringTheHoldPausesTheHold() {
        CreditsScroll s(kBox, 600);
        QVERIFY(runToHold(s) > 0);
        const qint32 endTop = s.stripTop();
        s.click();
        QVERIFY(!s.timerEnabled());
        QCOMPARE(s.interval(), 5000);
        s.click();
        QVERIFY(s.timerEnabled());
        QCOMPARE(s.interval(), 5000);
        s.tick();
        QVERIFY(!s.timerEnabled());
        QCOMPARE(s.stripTop(), endTop);
    }

    void speedFollowsTheMouse() {
        CreditsScroll s(kBox, 14865);
        s.tick();
        QCOMPARE(s.offset(), 30);
        s.mouseOverCredits();
        QCOMPARE(s.speed(), 20);
        s.tick();
        s.tick();
        QCOMPARE(s.offset(), 70);
        s.mouseOverCredits();
        QCOMPARE(s.speed(), 20);
        s.mouseOverBackground();
        QCOMPARE(s.speed(), 30);
        s.tick();
        QCOMPARE(s.offset(), 100);
        QCOMPARE(s.stripTop(), kBox - 100);
    }
};

QTEST_GUILESS_MAIN(tst_CreditsScroll)
#include "tst_CreditsScroll.moc"
