#include "CatalogueCommands.h"

#include "QtShotPictures.h"
#include "core/catalogue/CatalogueCheck.h"
#include "core/catalogue/CatalogueMaker.h"
#include "core/gamedata/CarZip.h"
#include "core/session/AppContext.h"

#include <QCommandLineParser>
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
        "      kept) and a screenshot shots/NAME.jpg from the first picture in its ZIP. With\n"
        "      --base, sl.dat names the catalogue at URL (under --name, or the folder's name).\n"
        "      Files go to the --out folder, else DIR. One line per ZIP: added, or refused and\n"
        "      why.\n"
        "  check URL [--json]\n"
        "      Checks a server list (with every catalogue it names) or a catalogue as kavro\n"
        "      reads it, then every car's screenshot (a picture) and ZIP (a car that installs),\n"
        "      four at a time. One line per car: OK, or what is wrong; then a summary. Nothing\n"
        "      is installed or kept. --json gives a JSON object.\n");
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
    maker.onZip = [&out](const CatalogueMaker::Result& r) {
        out << r.zipFile << (r.added ? QStringLiteral(": added") : QStringLiteral(": refused: "))
            << r.why << Qt::endl;
    };
    QList<CatalogueMaker::Result> results;
    const QString problem = maker.make(options, results);
    if (!problem.isEmpty())
        return fail(err, problem);
    for (const CatalogueMaker::Result& r : std::as_const(results))
        if (!r.added)
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
    // A progress line on a terminal, rewritten in place and cleared at the end.
    const bool terminal = ::isatty(::fileno(stderr)) != 0;
    if (terminal)
        checker.onProgress = [&err](int done, int total) {
            err << "\rChecked " << done << " of " << total << " cars" << Qt::flush;
        };
    const CatalogueCheck::Report report = checker.run(url);
    ctx.network = before;
    if (terminal)
        err << "\r\x1b[K" << Qt::flush;

    const int wrong = report.wrongCars();
    if (parser.isSet(jsonOption)) {
        QJsonArray cars;
        for (const CatalogueCheck::Car& car : report.cars)
            cars.append(QJsonObject{{QStringLiteral("catalogue"), car.catalogueUrl},
                                    {QStringLiteral("name"), car.name},
                                    {QStringLiteral("author"), car.author},
                                    {QStringLiteral("screenshot"), car.shotUrl},
                                    {QStringLiteral("zip"), car.zipUrl},
                                    {QStringLiteral("ok"), car.problems.isEmpty()},
                                    {QStringLiteral("problems"), jsonList(car.problems)}});
        const QJsonObject all{{QStringLiteral("url"), url},
                              {QStringLiteral("problems"), jsonList(report.problems)},
                              {QStringLiteral("cars"), cars},
                              {QStringLiteral("wrong"), wrong},
                              {QStringLiteral("interrupted"), report.interrupted}};
        out << QString::fromUtf8(QJsonDocument(all).toJson()) << Qt::flush;
    } else {
        for (const QString& problem : report.problems)
            out << problem << '\n';
        for (const CatalogueCheck::Car& car : report.cars)
            out << car.name << ": " << CatalogueCheck::verdict(car) << '\n';
        out << report.cars.size() << " cars checked: " << report.cars.size() - wrong << " OK, "
            << wrong << " wrong";
        if (!report.problems.isEmpty())
            out << "; " << report.problems.size() << " problems with the files themselves";
        out << Qt::endl;
    }
    if (report.interrupted)
        return fail(err, QStringLiteral("interrupted: not every car was checked"));
    return report.clean() ? 0 : 1;
}

} // namespace CatalogueCommands
