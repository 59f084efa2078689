#include "core/download/DownloadFormats.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace DownloadFormats {

namespace {

QChar decimalPoint() {
    const QString p = QLocale::system().decimalPoint();
    return p.isEmpty() ? QLatin1Char('.') : p.at(0);
}

QChar groupSeparator() {
    const QString g = QLocale::system().groupSeparator();
    return g.isEmpty() ? QLatin1Char(',') : g.at(0);
}

// A whole number that fits a qint64 (saturated), for the integer parts of the formats.
qint64 toInteger(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= 9.2e18)
        return std::numeric_limits<qint64>::max();
    if (v <= -9.2e18)
        return std::numeric_limits<qint64>::min();
    return qint64(v);
}

// value rounded (halves away from zero) to `decimals` places, written with at least one integer
// digit, `minDecimals` decimals always and the rest only when not zero; grouped when asked.
QString fixed(double value, int decimals, int minDecimals, bool grouped) {
    double scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    const double scaled = roundHalfAway(value * scale);
    const bool negative = scaled < 0;
    const qint64 units = toInteger(std::fabs(scaled));
    const qint64 whole = units / qint64(scale);
    qint64 frac = units % qint64(scale);

    QString digits = QString::number(whole);
    if (grouped) {
        for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
            digits.insert(i, groupSeparator());
    }
    QString decimalsText = QString::number(frac).rightJustified(decimals, QLatin1Char('0'));
    while (decimalsText.size() > minDecimals && decimalsText.endsWith(QLatin1Char('0')))
        decimalsText.chop(1);
    QString out = negative && units != 0 ? QStringLiteral("-") : QString();
    out += digits;
    if (!decimalsText.isEmpty())
        out += decimalPoint() + decimalsText;
    return out;
}

} // namespace

double roundHalfAway(double value) {
    return std::round(value);
}

double roundHalfEven(double value) {
    const double r = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5)
        return 2.0 * std::round(value / 2.0);
    return r;
}

QString groupedOneDecimal(double value) {
    return fixed(value, 1, 1, true);
}

QString percent(double fraction) {
    return QString::number(toInteger(roundHalfAway(fraction * 100.0))) + QLatin1Char('%');
}

qint64 sizeInKB(qint64 bytes) {
    if (bytes <= 0)
        return 0;
    qint64 kb = bytes / 1024;
    const qint64 rest = bytes % 1024;
    if (rest > 512 || (rest == 512 && (kb % 2) == 1))
        ++kb;
    return kb;
}

} // namespace DownloadFormats

using namespace DownloadFormats;

QString FormatFileSize(double x) {
    if (std::isnan(x) || x < 0)
        return QString();
    if (x < 1000) {
        if (x == std::floor(x))
            return QString::number(toInteger(x)) + QStringLiteral(" bytes");
        QString t = QString::number(x, 'g', 15);
        t.replace(QLatin1Char('.'), decimalPoint());
        return t + QStringLiteral(" bytes");
    }
    if (x < 1024000.0)
        return fixed(x / 1024.0, 1, 1, false) + QStringLiteral(" KB");
    if (x < 1024000000.0)
        return fixed(x / 1048576.0, 2, 1, false) + QStringLiteral(" MB");
    return fixed(x / 1073741824.0, 2, 1, false) + QStringLiteral(" GB");
}

QString FormatTime(float sglTime) {
    const double t = sglTime;
    if (std::isnan(t))
        return QStringLiteral("0 sec");
    if (t >= 0 && t < 60)
        return QString::number(toInteger(roundHalfAway(t))) + QStringLiteral(" sec");
    if (t >= 60 && t < 3600) {
        const qint64 minutes = toInteger(std::floor(t / 60.0));
        const qint64 seconds = toInteger(roundHalfEven(t)) % 60;
        return QString::number(minutes) + QStringLiteral(" min ") + QString::number(seconds) +
               QStringLiteral(" sec");
    }
    const qint64 hours = toInteger(std::floor(t / 3600.0));
    const qint64 minutes = toInteger(roundHalfEven(t / 60.0)) % 60;
    return QString::number(hours) + QStringLiteral(" hr ") + QString::number(minutes) +
           QStringLiteral(" min");
}

QString ReturnFileOrFolder(const QString& FullPath, bool ReturnFile, bool IsURL) {
    const QChar separator = IsURL ? QLatin1Char('/') : QLatin1Char('\\');
    const qsizetype p = FullPath.lastIndexOf(separator) + 1; // 1-based, 0 when none
    return ReturnFile ? FullPath.mid(p) : FullPath.left(p);
}
