#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

// Helpers to find top-level windows by objectName and to act on a modal window once it shows
// (a modal exec() blocks the test, so the test arranges the click beforehand).
namespace WindowWatcher {

// The first top-level widget with that objectName (visible ones first); null when none.
inline QWidget* find(const QString& objectName) {
    QWidget* hidden = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() != objectName)
            continue;
        if (w->isVisible())
            return w;
        if (!hidden)
            hidden = w;
    }
    return hidden;
}

inline int countVisible(const QString& objectName) {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += w->objectName() == objectName && w->isVisible();
    return n;
}

// Calls action with the window once a visible top-level widget of that objectName exists,
// checking every 10 ms for at most timeoutMs. Returns at once; the action runs from the event loop
// (for example inside the window's own exec()).
inline void whenShown(const QString& objectName, std::function<void(QWidget*)> action,
                      int timeoutMs = 10000) {
    auto* timer = new QTimer(qApp);
    auto* clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [=] {
        QWidget* w = find(objectName);
        const bool found = w && w->isVisible();
        if (!found && clock->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (found)
            action(w);
    });
    timer->start();
}

// Deletes every top-level widget (between tests). A window deleted with its parent is not
// deleted again.
inline void closeAll() {
    QList<QPointer<QWidget>> widgets;
    for (QWidget* w : QApplication::topLevelWidgets())
        widgets.append(w);
    for (const QPointer<QWidget>& w : widgets)
        delete w.data();
}

} // namespace WindowWatcher
