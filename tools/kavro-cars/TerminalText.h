#pragma once

#include <QString>

// Control characters as \xNN, as kavro-unzip shows entry names: a car's name cannot move the
// cursor or recolour the terminal.
inline QString printable(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f))
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
        else
            out += c;
    }
    return out;
}
