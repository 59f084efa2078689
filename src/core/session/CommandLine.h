#pragma once

#include <QString>
#include <QStringList>

// The program's command line: converted to upper case once, each switch then looked for as a
// substring anywhere in it ("/showlog" counts, and so does a switch run together with other
// text). Nothing else on the line is parsed or rejected, except that an argument naming an
// existing ".zip" file is a car ZIP to install, and a kavro:// link is a link to offer, never a
// switch (see zipFiles, links and switchText).
class CommandLine {
public:
    static constexpr const char* kLocalHost = "/LOCALHOST";
    static constexpr const char* kShowLog = "/SHOWLOG";
    static constexpr const char* kSerial = "/SERIAL";
    static constexpr const char* kSkipIntro = "/SKIPINTRO";
    // Given by the one-time start entry that a shutdown leaves for the next logon.
    static constexpr const char* kRunOnce = "/RUNONCE";
    // Opens the Installed Cars window alone.
    static constexpr const char* kCars = "/CARS";

    explicit CommandLine(const QString& line) : m_upper(line.toUpper()) {}

    bool has(const char* switchText) const { return m_upper.contains(QLatin1String(switchText)); }
    QString upper() const { return m_upper; }

    // True when path names an existing file whose name ends in ".zip" (any letter case).
    static bool isZipFile(const QString& path);
    // The arguments that name ZIP files, as absolute paths, in their order.
    static QStringList zipFiles(const QStringList& arguments);
    // True when argument starts with "kavro://" (any letter case), well formed or not.
    static bool isLink(const QString& argument);
    // The arguments that are kavro:// links, as given, in their order.
    static QStringList links(const QStringList& arguments);
    // The other arguments joined by spaces: the text the switches are looked for in, so that a
    // ZIP's path or a link holding "/serial" or "/showlog" is never taken for a switch.
    static QString switchText(const QStringList& arguments);

private:
    QString m_upper;
};
