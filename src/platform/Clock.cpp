#include "platform/Clock.h"

#include <QEventLoop>
#include <QLocale>
#include <QTimer>

double Clock::monotonicSeconds() const {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return double(timer.nsecsElapsed()) / 1e9;
}

void Clock::handleEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(qMax(ms, 0), &loop, &QEventLoop::quit);
    loop.exec();
}

QString Clock::formatTime(const QTime& t) {
    const QLocale locale = QLocale::system();
    QString fmt = locale.timeFormat(QLocale::ShortFormat);
    if (!fmt.contains(QLatin1String("ss"))) {
        const qsizetype mm = fmt.indexOf(QLatin1String("mm"));
        if (mm >= 0)
            fmt.insert(mm + 2, QLatin1String(":ss"));
    }
    return locale.toString(t, fmt);
}

QString Clock::formatDate(const QDate& d) {
    const QLocale locale = QLocale::system();
    QString fmt = locale.dateFormat(QLocale::ShortFormat);
    if (!fmt.contains(QLatin1String("yyyy")))
        fmt.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return locale.toString(d, fmt);
}
