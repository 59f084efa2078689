#pragma once

#include <QString>

// The program's command line: converted to upper case once, each switch then looked for as a
// substring anywhere in it ("/showlog" counts, and so does a switch run together with other
// text). Nothing else on the line is parsed or rejected.
class CommandLine {
public:
    static constexpr const char* kLocalHost = "/LOCALHOST";
    static constexpr const char* kShowLog = "/SHOWLOG";
    static constexpr const char* kSerial = "/SERIAL";
    static constexpr const char* kSkipIntro = "/SKIPINTRO";
    // Given by the one-time start entry that a shutdown leaves for the next logon.
    static constexpr const char* kRunOnce = "/RUNONCE";

    explicit CommandLine(const QString& line) : m_upper(line.toUpper()) {}

    bool has(const char* switchText) const { return m_upper.contains(QLatin1String(switchText)); }
    QString upper() const { return m_upper; }

private:
    QString m_upper;
};
