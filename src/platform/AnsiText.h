#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Text files of the program (server list, catalogue, log, ID.TXT, carp*.txt) are single-byte
// Windows-1252 text. A line ends at CR LF or at a lone CR; a lone LF does not end a line, except
// in a file that holds no CR at all: its lines end in LF (a file written on Linux).
namespace AnsiText {

QString decode(const QByteArray& bytes);
// Characters outside Windows-1252 become '?'.
QByteArray encode(const QString& text);

// Splits bytes into lines by the rules above, after a UTF-8 byte-order mark at the start. An empty input has no lines; a final line without
// a line end still counts; "a\r\n" is one line, "a\r\n\r\n" two ("a" and "").
QStringList splitLines(const QByteArray& bytes);

// Reads the whole file as lines. Returns false (and no lines) when it cannot be read.
bool readLines(const QString& path, QStringList& lines);

// Writes the text encoded as Windows-1252, atomically (the old file stays whole on failure).
bool writeFile(const QString& path, const QString& text);

} // namespace AnsiText

// Reads lines one at a time, as a file opened for text input does: atEnd() is the end-of-file
// test, readLine() past the end fails.
class AnsiLineReader {
public:
    AnsiLineReader() = default;
    explicit AnsiLineReader(QStringList lines) : m_lines(std::move(lines)) {}
    bool open(const QString& path) {
        m_pos = 0;
        return AnsiText::readLines(path, m_lines);
    }
    bool atEnd() const { return m_pos >= m_lines.size(); }
    // Returns false at the end of the file (line is then left empty).
    bool readLine(QString& line);
    int lineNumber() const { return m_pos; }

private:
    QStringList m_lines;
    int m_pos = 0;
};
