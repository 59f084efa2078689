#include "core/session/CommandLine.h"

#include "core/session/ProgramInfo.h"

#include <QFileInfo>
#include <QUrl>

QString CommandLine::pathOf(const QString& argument) {
    if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(argument);
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return argument;
}

bool CommandLine::endsInZip(const QString& argument) {
    return pathOf(argument).endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
}

bool CommandLine::isLink(const QString& argument) {
    return argument.startsWith(QLatin1String("kavro://"), Qt::CaseInsensitive);
}

bool CommandLine::isZipFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.suffix().compare(QLatin1String("zip"), Qt::CaseInsensitive) == 0;
}

QStringList CommandLine::zipFiles(const QStringList& arguments) {
    QStringList zips;
    for (const QString& a : arguments)
        if (isZipFile(pathOf(a)))
            zips.append(QFileInfo(pathOf(a)).absoluteFilePath());
    return zips;
}

QStringList CommandLine::missingZips(const QStringList& arguments) {
    QStringList missing;
    for (const QString& a : arguments)
        if (endsInZip(a) && !isZipFile(pathOf(a)))
            missing.append(pathOf(a));
    return missing;
}

QStringList CommandLine::links(const QStringList& arguments) {
    QStringList found;
    for (const QString& a : arguments)
        if (isLink(a))
            found.append(a);
    return found;
}

QString CommandLine::switchText(const QStringList& arguments) {
    QStringList rest;
    for (const QString& a : arguments)
        if (!endsInZip(a) && !isZipFile(pathOf(a)) && !isLink(a))
            rest.append(a);
    return rest.join(u' ');
}

bool CommandLine::asksForHelp(const QString& argument) {
    return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

bool CommandLine::asksForVersion(const QString& argument) {
    return argument == QLatin1String("--version");
}

QString CommandLine::versionText() {
    return QStringLiteral("kavro %1.%2.%3\n")
        .arg(ProgramInfo::versionMajor())
        .arg(ProgramInfo::versionMinor())
        .arg(ProgramInfo::versionRevision());
}

QString CommandLine::helpText() {
    return QStringLiteral(
        "Usage: kavro [/SKIPINTRO] [/LOCALHOST] [/SHOWLOG] [/SERIAL] [/CARS] [FILE.zip...]\n"
        "       kavro 'kavro://add?url=ADDRESS'\n"
        "\n"
        "Downloads add-on cars for Need for Speed High Stakes from catalogue servers and installs\n"
        "them into the game.\n"
        "\n"
        "  /SKIPINTRO   no welcome window: the connection check and the server window come at "
        "once\n"
        "  /LOCALHOST   the server list and the advertisement page from the local web server\n"
        "               (KAVRO_LOCALHOST, else http://localhost)\n"
        "  /SHOWLOG     show the log of the previous run and end\n"
        "  /SERIAL      open only the serial-number conflict fixer\n"
        "  /CARS        open only the Installed Cars window\n"
        "  FILE.zip     install these car ZIPs through the download window\n"
        "  kavro://add?url=ADDRESS\n"
        "               add the catalogue or server list at ADDRESS, after asking\n"
        "  --help       this text\n"
        "  --version    the version\n"
        "\n"
        "Switches are found anywhere on the command line, in any letter case. While Kavro runs,\n"
        "a second start with car ZIPs or a kavro:// link hands them to the running Kavro and\n"
        "ends; a second start without arguments brings the running Kavro's window forward.\n"
        "\n"
        "Exit status: 0 when the run did what was asked, 1 when the game or the extractor is\n"
        "missing, a ZIP is missing or a car failed, 128 + N after the ending signal N.\n");
}
