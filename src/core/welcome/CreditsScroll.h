#pragma once

#include <QtGlobal>

// The welcome window's credits scroll, without the window: the strip that carries the credits
// starts just below the credits box and rises by `speed` twips on every tick of the scroll timer.
// When the end of the text has passed the bottom edge of the box, the timer switches to one
// 5-second hold tick, after which it stops; a click on the credits toggles the timer, so it
// pauses, resumes, or (after the stop) lets the text rise once more from below the box.
//
// The window owns the real timer and mirrors timerEnabled() and interval() into it after every
// call; all lengths are in twips.
class CreditsScroll {
public:
    static constexpr int kTickInterval = 10;   // ms between scroll steps
    static constexpr int kHoldInterval = 5000; // ms the finished text stays before the stop
    static constexpr qint32 kSpeedElsewhere = 30;
    static constexpr qint32 kSpeedOverCredits = 20;

    // boxHeight: the credits box's height; stripHeight: the height of the strip with the text.
    // Puts the strip just below the box, offset 0, speed 30, timer on at the tick interval.
    CreditsScroll(qint32 boxHeight, qint32 stripHeight);

    // One tick of the timer.
    void tick();
    // A click on the credits box, the strip or the text.
    void click();
    // The mouse moved over the credits (slower) or over the window's own background.
    void mouseOverCredits() { m_speed = kSpeedOverCredits; }
    void mouseOverBackground() { m_speed = kSpeedElsewhere; }

    qint32 speed() const { return m_speed; }
    qint32 offset() const { return m_offset; }
    // The strip's top inside the box (box height - offset, as of the last step).
    qint32 stripTop() const { return m_stripTop; }
    qint32 boxHeight() const { return m_boxHeight; }
    qint32 stripHeight() const { return m_stripHeight; }
    bool timerEnabled() const { return m_timerEnabled; }
    int interval() const { return m_interval; }

private:
    qint32 m_boxHeight;
    qint32 m_stripHeight;
    qint32 m_speed = kSpeedElsewhere;
    qint32 m_offset = 0;
    qint32 m_stripTop;
    bool m_timerEnabled = true;
    int m_interval = kTickInterval;
};
