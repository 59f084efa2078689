#pragma once

#include "platform/Clock.h"

#include <QCoreApplication>

// A clock that says what the test tells it. monotonicSeconds() advances only by advance() and by
// the waits of the code under test, which handle the pending events and take no real time.
class FixedClock : public Clock {
public:
    FixedClock() : m_now(QDate(2000, 8, 30), QTime(21, 5, 31)) {}
    QDateTime now() const override { return m_now; }
    double monotonicSeconds() const override { return m_mono; }
    void set(const QDateTime& t) { m_now = t; }
    void handleEventsFor(int ms) override {
        QCoreApplication::processEvents();
        advance(ms / 1000.0);
    }
    void advance(double seconds) {
        m_mono += seconds;
        m_now = m_now.addMSecs(qint64(seconds * 1000));
    }

private:
    QDateTime m_now;
    double m_mono = 1000.0;
};
