#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// "Find a car": which rows of a car list hold a text in one of their texts (a car's name, its
// author), without regard to case or accents. A row's texts are folded once when the row is set,
// so a keystroke is one scan of prepared keys; a text that only grows (the player typing on)
// scans just the rows still shown.
class CarFilter {
public:
    // A text as the filter compares it: letters stripped of their accents (decomposed, the marks
    // left out), the letters that have no decomposition spelled plainly (ø o, æ ae, œ oe, ß ss,
    // ł l, đ d), case folded, any run of white space made one space (none at either end) and
    // other control characters left out.
    static QString fold(const QString& text);

    // No rows, no text.
    void clear();
    // The texts of a row; rows that were never set hold nothing.
    void setRow(qsizetype row, const QStringList& texts);
    qsizetype rowCount() const { return m_keys.size(); }

    // The text looked for; every row is shown while it is empty (or only spaces).
    void setText(const QString& text);
    QString text() const { return m_text; }
    bool active() const { return !m_needle.isEmpty(); }
    // Whether the row is shown under the current text: every row while it is empty, otherwise
    // the rows set that hold it.
    bool shows(qsizetype row) const;

private:
    bool holds(qsizetype row) const;

    QList<QString> m_keys;
    QList<bool> m_shown;
    QString m_text;
    QString m_needle;
};
