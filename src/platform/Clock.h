#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QString>

// The clock: the time of day and date in the user's regional formats (log lines, "lastopen"), and
// a monotonic clock in seconds for rates. Tests use a FixedClock (tests/support) instead.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
    // Seconds since an arbitrary fixed point; never jumps (no midnight wrap).
    virtual double monotonicSeconds() const;
    // Lets up to ms go by on the monotonic clock while handling the events that come meanwhile
    // (a pause between two tries of a transfer). Tests' clocks advance instead of sleeping.
    virtual void handleEventsFor(int ms);

    // The time of day as text, with seconds, in the regional format (en_US: "9:05:31 PM").
    QString timeText() const { return formatTime(now().time()); }
    // The date as text in the regional short format with a four-digit year (en_US: "8/30/2000").
    QString dateText() const { return formatDate(now().date()); }

    static QString formatTime(const QTime& t);
    static QString formatDate(const QDate& d);
};
