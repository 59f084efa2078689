#include "core/catalogue/ServerList.h"

#include <cmath>
#include <limits>

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}
bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The number at the start of a text, the way a BASIC Val reads it: blanks anywhere are skipped,
// then an optional sign, digits, a decimal point with digits, and an exponent (E or D).
double leadingNumber(const QString& text) {
    QString number;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto next = [&]() -> QChar {
        while (i < n && isBlank(text.at(i)))
            ++i;
        return i < n ? text.at(i) : QChar();
    };
    QChar c = next();
    if (c == u'+' || c == u'-') {
        number += c;
        ++i;
        c = next();
    }
    bool digits = false;
    while (isDigit(c)) {
        number += c;
        digits = true;
        ++i;
        c = next();
    }
    if (c == u'.') {
        number += c;
        ++i;
        c = next();
        while (isDigit(c)) {
            number += c;
            digits = true;
            ++i;
            c = next();
        }
    }
    if (!digits)
        return 0.0;
    if (c == u'e' || c == u'E' || c == u'd' || c == u'D') {
        QString exponent = QStringLiteral("e");
        ++i;
        c = next();
        if (c == u'+' || c == u'-') {
            exponent += c;
            ++i;
            c = next();
        }
        bool expDigits = false;
        while (isDigit(c)) {
            exponent += c;
            expDigits = true;
            ++i;
            c = next();
        }
        if (expDigits)
            number += exponent;
    }
    bool ok = false;
    const double v = number.toDouble(&ok);
    if (ok)
        return v;
    // Only an exponent out of range fails here: too large, or too small to tell from 0.
    if (number.contains(QLatin1String("e-")))
        return 0.0;
    return number.startsWith(u'-') ? -HUGE_VAL : HUGE_VAL;
}

} // namespace

std::optional<qint16> ServerList::leadingCount(const QString& line) {
    const double rounded = std::nearbyint(leadingNumber(line)); // halves to even
    if (!std::isfinite(rounded) || rounded < std::numeric_limits<qint16>::min() ||
        rounded > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return qint16(rounded);
}

void ServerList::reset() {
    ServerURLs = {QString()};
    ServerCataloguePaths = {QString()};
    ServerNames = {QString()};
}

ServerList::Status ServerList::parse(const QStringList& lines) {
    reset();
    if (lines.isEmpty() || !lines.at(0).startsWith(QLatin1String("SL")))
        return Status::Corrupt;
    // The version is the one character after "SL"; anything but a digit counts as 0.
    const QString header = lines.at(0);
    if (header.size() > 2 && isDigit(header.at(2)) && header.at(2).digitValue() > 1)
        return Status::Outdated;
    if (lines.size() < 2)
        return Status::Corrupt;
    const std::optional<qint16> n = leadingCount(lines.at(1));
    if (!n || *n <= 0 || lines.size() < 2 + 3 * qsizetype(*n))
        return Status::Corrupt;
    for (int i = 0; i < *n; ++i) {
        ServerURLs << lines.at(2 + 3 * i);
        ServerCataloguePaths << lines.at(3 + 3 * i);
        ServerNames << lines.at(4 + 3 * i);
    }
    return Status::Ok;
}

void ServerList::append(const QString& url, const QString& cataloguePath, const QString& name) {
    ServerURLs.append(url);
    ServerCataloguePaths.append(cataloguePath);
    ServerNames.append(name);
}

void ServerList::append(const ServerList& other) {
    for (int i = 1; i <= other.count(); ++i)
        append(other.ServerURLs.at(i), other.ServerCataloguePaths.at(i), other.ServerNames.at(i));
}
