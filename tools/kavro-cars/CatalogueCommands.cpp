#include "CatalogueCommands.h"

#include "QtShotPictures.h"
#include "TerminalText.h"
#include "core/catalogue/CatalogueCheck.h"
#include "core/catalogue/CatalogueMaker.h"
#include "core/catalogue/CataloguePage.h"
#include "core/gamedata/CarZip.h"
#include "core/session/AppContext.h"
#include "platform/EndSignals.h"

#include <QCommandLineParser>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>

#include <cstdio>
#include <unistd.h>

namespace {

int fail(QTextStream& err, const QString& message) {
    err << "kavro-cars: " << message << Qt::endl;
    return 1;
}

// Reads the command's arguments; false (with the status to return) on a mistake or --help.
bool parseArguments(QCommandLineParser& parser, const QString& command, const QStringList& args,
                    const QString& operand, QTextStream& out, QTextStream& err, int& status) {
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("this text"));
    parser.addOption(help);
    if (!parser.parse(QStringList{QStringLiteral("kavro-cars ") + command} + args)) {
        status = fail(err, parser.errorText() + QStringLiteral(" (see kavro-cars --help)"));
        return false;
    }
    if (parser.isSet(help)) {
        // Qt names the program by its path; the usage line names the command.
        QString text = parser.helpText();
        text.replace(0, text.indexOf(QLatin1String(" [options]")),
                     QStringLiteral("Usage: kavro-cars ") + command);
        out << text << Qt::flush;
        status = 0;
        return false;
    }
    if (parser.positionalArguments().size() != 1) {
        status = fail(err, QStringLiteral("%1 needs one %2").arg(command, operand));
        return false;
    }
    return true;
}

// The two addresses a host gives players: the server list's (or catalogue's) and the link that
// adds it to Kavro in one click.
void printAddresses(QTextStream& out, const QString& address) {
    out << "For players: " << printable(address) << '\n'
        << "One-click link: " << CataloguePage::addLink(address) << Qt::endl;
}

QString jsonText(const QString& text) {
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QJsonArray jsonList(const QStringList& texts) {
    QJsonArray a;
    for (const QString& t : texts)
        a.append(t);
    return a;
}

} // namespace

namespace CatalogueCommands {

QString helpText() {
    return QStringLiteral(
        "  catalogue DIR [--out DIR] [--base URL] [--name TEXT] [--author TEXT]\n"
        "      Makes a catalogue of every car ZIP in DIR for any static web host: each ZIP is\n"
        "      checked as an install would check it (no game is touched); each car gets an\n"
        "      entry of Kavro_CL.dat (its name is the ZIP's without the extension, its author\n"
        "      TEXT or \"Unknown\"; names and authors edited in a catalogue already there are\n"
        "      kept, and so are its announcements and the entry of a ZIP that could not be\n"
        "      judged here) and a screenshot shots/NAME.jpg from the first picture in its ZIP.\n"
        "      With --base, sl.dat names the catalogue at URL (under --name, or the folder's\n"
        "      name) and index.html is a page for players. Files go to the --out folder, else\n"
        "      DIR. One line per ZIP: added, or refused and why; then the addresses to give\n"
        "      players. Ctrl+C stops it with nothing written.\n"
        "  check URL [--json]\n"
        "      Checks a server list (with every catalogue it names) or a catalogue as kavro\n"
        "      reads it, then every car's screenshot (a picture) and ZIP (a car that installs),\n"
        "      four at a time. One line per entry as it is done: OK, announcement, or what is\n"
        "      wrong; then a summary and the addresses to give players. Nothing is installed\n"
        "      or kept. --json gives a JSON object.\n");
}

int catalogue(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Makes a catalogue (Kavro_CL.dat, shots/) of the car ZIPs in DIR."));
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("the folder of car ZIPs"));
    const QCommandLineOption outOption(QStringLiteral("out"),
                                       QStringLiteral("where the catalogue goes (default DIR)"),
                                       QStringLiteral("DIR"));
    const QCommandLineOption baseOption(QStringLiteral("base"),
                                        QStringLiteral("write sl.dat naming the catalogue at URL"),
                                        QStringLiteral("URL"));
    const QCommandLineOption nameOption(
        QStringLiteral("name"),
        QStringLiteral("the server's name in sl.dat (default the folder's)"),
        QStringLiteral("TEXT"));
    const QCommandLineOption authorOption(
        QStringLiteral("author"), QStringLiteral("the author of new entries (default Unknown)"),
        QStringLiteral("TEXT"));
    parser.addOptions({outOption, baseOption, nameOption, authorOption});
    int status = 1;
    if (!parseArguments(parser, QStringLiteral("catalogue"), args, QStringLiteral("folder"), out,
                        err, status))
        return status;
    if (parser.isSet(nameOption) && !parser.isSet(baseOption))
        return fail(err, QStringLiteral("--name names the server of --base"));

    CatalogueMaker::Options options;
    options.zipFolder = parser.positionalArguments().first();
    options.outFolder = parser.value(outOption);
    options.baseUrl = parser.value(baseOption);
    options.serverName = parser.value(nameOption);
    options.author = parser.value(authorOption);
    const QtShotPictures pictures;
    CatalogueMaker maker(CarZip::extractorCommand(ctx.programFolder), pictures);
    maker.stopRequested = [] { return EndSignals::received() != 0; };
    maker.onWarning = [&out](const QString& warning) {
        out << "warning: " << printable(warning) << Qt::endl;
    };
    maker.onZip = [&out](const CatalogueMaker::Result& r) {
        out << printable(r.zipFile) << ": ";
        switch (r.state) {
        case CatalogueMaker::Result::State::Added:
            out << "added";
            break;
        case CatalogueMaker::Result::State::Refused:
            out << "refused: " << printable(r.why);
            break;
        case CatalogueMaker::Result::State::Kept:
            out << "kept as it was: not judged here: " << printable(r.why);
            break;
        case CatalogueMaker::Result::State::NotJudged:
            out << "not added: not judged here: " << printable(r.why);
            break;
        }
        out << Qt::endl;
        for (const QString& warning : r.warnings)
            out << printable(r.zipFile) << ": warning: " << printable(warning) << Qt::endl;
    };
    QList<CatalogueMaker::Result> results;
    const QString problem = maker.make(options, results);
    if (maker.interrupted())
        return fail(
            err, QStringLiteral("interrupted by %1: nothing was written; %2 is as it was")
                     .arg(QString::fromLatin1(EndSignals::name(EndSignals::received())),
                          QDir(options.outFolder.isEmpty() ? options.zipFolder : options.outFolder)
                              .filePath(CatalogueMaker::kCatalogueFile)));
    if (!problem.isEmpty())
        return fail(err, problem);
    if (!options.baseUrl.isEmpty())
        printAddresses(out, CatalogueMaker::serverListUrl(options.baseUrl));
    for (const CatalogueMaker::Result& r : std::as_const(results))
        if (!r.added())
            return 1;
    return 0;
}

int check(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Checks a server list or catalogue and every car it names."));
    parser.addPositionalArgument(QStringLiteral("URL"),
                                 QStringLiteral("the server list or catalogue"));
    const QCommandLineOption jsonOption(QStringLiteral("json"),
                                        QStringLiteral("the findings as a JSON object"));
    parser.addOption(jsonOption);
    int status = 1;
    if (!parseArguments(parser, QStringLiteral("check"), args, QStringLiteral("URL"), out, err,
                        status))
        return status;
    const QString url = parser.positionalArguments().first();

    QNetworkAccessManager network;
    QNetworkAccessManager* before = ctx.network;
    ctx.network = &network;
    const QtShotPictures pictures;
    CatalogueCheck checker(ctx, CarZip::extractorCommand(ctx.programFolder), pictures);
    // A progress line on a terminal, rewritten in place and cleared before any other line.
    const bool terminal = ::isatty(::fileno(stderr)) != 0;
    bool progressShown = false;
    auto clearProgress = [&] {
        if (progressShown)
            err << "\r\x1b[K" << Qt::flush;
        progressShown = false;
    };
    if (terminal)
        checker.onProgress = [&](int done, int total) {
            err << "\rChecked " << done << " of " << total << " entries" << Qt::flush;
            progressShown = true;
        };
    // Every entry is written as soon as it is done, so nothing waits in memory for the end.
    const bool json = parser.isSet(jsonOption);
    QStringList problems;
    bool firstCar = true;
    if (json)
        out << "{\"url\": " << jsonText(url) << ",\n\"cars\": [" << Qt::flush;
    checker.onProblem = [&](const QString& problem) {
        problems << problem;
        if (!json) {
            clearProgress();
            out << printable(problem) << Qt::endl;
        }
    };
    checker.onCar = [&](const CatalogueCheck::Car& car) {
        if (json) {
            const QJsonObject o{{QStringLiteral("catalogue"), car.catalogueUrl},
                                {QStringLiteral("name"), car.name},
                                {QStringLiteral("author"), car.author},
                                {QStringLiteral("screenshot"), car.shotUrl},
                                {QStringLiteral("zip"), car.zipUrl},
                                {QStringLiteral("announcement"), car.announcement()},
                                {QStringLiteral("ok"), !car.wrong() && car.notChecked.isEmpty()},
                                {QStringLiteral("problems"), jsonList(car.problems)},
                                {QStringLiteral("notChecked"), car.notChecked}};
            out << (firstCar ? "\n" : ",\n")
                << QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
            firstCar = false;
            return;
        }
        clearProgress();
        out << printable(car.name + QStringLiteral(": ") + CatalogueCheck::verdict(car))
            << Qt::endl;
    };
    const CatalogueCheck::Report report = checker.run(url);
    ctx.network = before;
    clearProgress();

    if (json) {
        if (!report.refusal.isEmpty())
            problems << report.refusal;
        out << "],\n\"problems\": "
            << QString::fromUtf8(QJsonDocument(jsonList(problems)).toJson(QJsonDocument::Compact))
            << ",\n\"checked\": " << report.cars << ", \"wrong\": " << report.wrong
            << ", \"notChecked\": " << report.notChecked
            << ", \"announcements\": " << report.announcements
            << ", \"wrongAnnouncements\": " << report.wrongAnnouncements
            << ", \"interrupted\": " << (report.interrupted ? "true" : "false") << "}\n"
            << Qt::flush;
    }
    if (report.interrupted)
        return fail(err, QStringLiteral("interrupted: not every car was checked"));
    if (!report.refusal.isEmpty())
        return fail(err, printable(report.refusal));
    if (!json) {
        const int ok = report.cars - report.wrong - report.notChecked;
        out << report.cars << (report.cars == 1 ? " car" : " cars") << " checked: " << ok << " OK, "
            << report.wrong << " wrong";
        if (report.notChecked > 0)
            out << ", " << report.notChecked << " not checked (this machine's failures)";
        if (report.announcements > 0) {
            out << "; " << report.announcements
                << (report.announcements == 1 ? " announcement" : " announcements");
            if (report.wrongAnnouncements > 0)
                out << " (" << report.wrongAnnouncements << " wrong)";
        }
        if (report.problems > 0)
            out << "; " << report.problems << (report.problems == 1 ? " problem" : " problems")
                << " with the files themselves";
        out << Qt::endl;
        printAddresses(out, url);
    }
    return report.clean() ? 0 : 1;
}

} // namespace CatalogueCommands
