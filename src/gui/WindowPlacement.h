#pragma once

#include <QRect>
#include <QScreen>
#include <QWidget>

// Puts a window's frame in the middle of its screen's available area (a window "centred when
// first shown").
inline void centreOnScreen(QWidget* w) {
    if (const QScreen* screen = w->screen()) {
        QRect frame = w->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        w->move(frame.topLeft());
    }
}
