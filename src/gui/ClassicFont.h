#pragma once

#include <QFont>
#include <QStringList>

// The dialog font the window layouts were drawn for (8-point "MS Sans Serif"), or the nearest
// sans-serif face with the same narrow metrics that the system has.
inline QFont ClassicFont(double points = 8.0) {
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                   QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica")});
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(points);
    return f;
}
