#include "platform/AnsiText.h"

#include <QFile>
#include <QSaveFile>

namespace {

// Windows-1252 code points 0x80..0x9F; 0 marks the five unassigned bytes (read as the C1 control).
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

namespace AnsiText {

QString decode(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] != 0)
            out.append(QChar(kHigh[b - 0x80]));
        else
            out.append(QChar(char16_t(b)));
    }
    return out;
}

QByteArray encode(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF) ||
            (u >= 0x80 && u < 0xA0 && kHigh[u - 0x80] == 0)) {
            out.append(char(u));
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i) {
            if (kHigh[i] == u) {
                mapped = char(0x80 + i);
                break;
            }
        }
        out.append(mapped);
    }
    return out;
}

QStringList splitLines(const QByteArray& text) {
    QStringList lines;
    // A UTF-8 byte-order mark (Windows editors save one) is not part of the first line.
    const QByteArray bytes = text.startsWith("\xEF\xBB\xBF") ? text.mid(3) : text;
    // A file written on Linux: its lines end in LF alone.
    if (!bytes.contains('\r') && bytes.contains('\n')) {
        QList<QByteArray> parts = bytes.split('\n');
        if (parts.last().isEmpty())
            parts.removeLast();
        for (const QByteArray& part : std::as_const(parts))
            lines.append(decode(part));
        return lines;
    }
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        if (bytes[i] == '\r') {
            lines.append(decode(bytes.mid(start, i - start)));
            ++i;
            if (i < n && bytes[i] == '\n')
                ++i;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < n)
        lines.append(decode(bytes.mid(start)));
    return lines;
}

bool readLines(const QString& path, QStringList& lines) {
    lines.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    lines = splitLines(f.readAll());
    return true;
}

bool writeFile(const QString& path, const QString& text) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = encode(text);
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

} // namespace AnsiText

bool AnsiLineReader::readLine(QString& line) {
    if (atEnd()) {
        line.clear();
        return false;
    }
    line = m_lines.at(m_pos++);
    return true;
}
