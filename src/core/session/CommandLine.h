#pragma once

#include <QString>
#include <QStringList>

// The program's command line: converted to upper case once, each switch then looked for as a
// substring anywhere in it ("/showlog" counts, and so does a switch run together with other
// text). Nothing else on the line is parsed or rejected, except two kinds of argument that are
// never switch text: one whose name ends in ".zip" is a car ZIP to install (or, when no such file
// exists, a ZIP that is missing), and a kavro:// link is a link to offer (see zipFiles,
// missingZips, links and switchText). A "file:" address (what the desktop passes for %U) counts
// as the path it names.
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
    // The arguments whose name ends in ".zip" but that name no file, as given.
    static QStringList missingZips(const QStringList& arguments);
    // True when argument starts with "kavro://" (any letter case), well formed or not.
    static bool isLink(const QString& argument);
    // The arguments that are kavro:// links, as given, in their order.
    static QStringList links(const QStringList& arguments);
    // The other arguments joined by spaces: the text the switches are looked for in, so that a
    // ZIP's path or a link holding "/serial" or "/showlog" is never taken for a switch.
    static QString switchText(const QStringList& arguments);

    // What the program prints for --help and --version (and exits 0, touching nothing).
    static QString helpText();
    static QString versionText();
    // The argument asks for one of the two (--help, -h, --version).
    static bool asksForHelp(const QString& argument);
    static bool asksForVersion(const QString& argument);

private:
    static QString pathOf(const QString& argument);
    static bool endsInZip(const QString& argument);

    QString m_upper;
};
