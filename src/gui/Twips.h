#pragma once

#include <QRect>
#include <QWidget>

// Window layouts are kept in twips (1/1440 inch); 15 twips make one pixel at 96 DPI.
namespace Twips {

constexpr int kPerPixel = 15;

constexpr int pixels(int twips) {
    return twips / kPerPixel;
}

inline QRect twips(int left, int top, int width, int height) {
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

// A control of type T named name (its objectName) placed at geometry inside parent.
template <typename T> T* make(QWidget* parent, const char* name, const QRect& geometry) {
    auto* w = new T(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(geometry);
    return w;
}

} // namespace Twips
