#include "core/browser/CarFilter.h"

namespace {

// Texts are joined with a character that fold() never lets through, so a search never matches
// across the end of one text and the start of the next.
constexpr QChar kJoin = u'\n';

// Letters of the Latin alphabets that Unicode does not decompose into a base letter and a mark.
QStringView plainSpelling(QChar c) {
    switch (c.unicode()) {
    case u'\u00D8': // Ø
    case u'\u00F8': // ø
        return u"o";
    case u'\u00C6': // Æ
    case u'\u00E6': // æ
        return u"ae";
    case u'\u0152': // Œ
    case u'\u0153': // œ
        return u"oe";
    case u'\u00DF': // ß
    case u'\u1E9E': // ẞ
        return u"ss";
    case u'\u0141': // Ł
    case u'\u0142': // ł
        return u"l";
    case u'\u0110': // Đ
    case u'\u0111': // đ
        return u"d";
    default:
        return {};
    }
}

bool isMark(QChar c) {
    switch (c.category()) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

} // namespace

QString CarFilter::fold(const QString& text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    bool space = false;
    for (const QChar c : decomposed) {
        if (c.isSpace()) {
            space = !out.isEmpty();
            continue;
        }
        if (isMark(c) || c.category() == QChar::Other_Control)
            continue;
        if (space) {
            out.append(u' ');
            space = false;
        }
        if (const QStringView plain = plainSpelling(c); !plain.isEmpty())
            out.append(plain);
        else
            out.append(c);
    }
    return out.toCaseFolded();
}

void CarFilter::clear() {
    m_keys.clear();
    m_shown.clear();
    m_text.clear();
    m_needle.clear();
}

void CarFilter::setRow(qsizetype row, const QStringList& texts) {
    if (row < 0)
        return;
    if (row >= m_keys.size()) {
        m_keys.resize(row + 1);
        m_shown.resize(row + 1, m_needle.isEmpty());
    }
    QStringList folded;
    folded.reserve(texts.size());
    for (const QString& t : texts)
        folded.append(fold(t));
    m_keys[row] = folded.join(kJoin);
    m_shown[row] = holds(row);
}

void CarFilter::setText(const QString& text) {
    m_text = text;
    const QString needle = fold(text);
    if (needle == m_needle)
        return;
    // A text that holds the previous one can only take rows away: look at the shown ones only.
    const bool narrowing = !m_needle.isEmpty() && needle.contains(m_needle);
    m_needle = needle;
    for (qsizetype row = 0; row < m_keys.size(); ++row)
        if (!narrowing || m_shown.at(row))
            m_shown[row] = holds(row);
}

bool CarFilter::shows(qsizetype row) const {
    return m_needle.isEmpty() || (row >= 0 && row < m_shown.size() && m_shown.at(row));
}

bool CarFilter::holds(qsizetype row) const {
    return m_needle.isEmpty() || m_keys.at(row).contains(m_needle);
}
