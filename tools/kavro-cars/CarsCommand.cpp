#include "CarsCommand.h"

#include "CatalogueCommands.h"
#include "GarageCommands.h"
#include "SourceCommands.h"
#include "TerminalText.h"

#include "core/browser/DownloadSelection.h"
#include "core/download/ZipInstallRun.h"
#include "core/gamedata/CarRemoval.h"
#include "core/gamedata/CarSerials.h"
#include "core/gamedata/GameLock.h"
#include "core/gamedata/Garage.h"
#include "core/gamedata/InstallStaging.h"
#include "core/gamedata/InstalledCarList.h"
#include "core/gamedata/SerialConflicts.h"
#include "core/session/AppSettings.h"
#include "core/session/GameFolder.h"
#include "core/session/ProgramInfo.h"
#include "core/session/StartupMessages.h"
#include "core/session/StartupPaths.h"
#include "core/session/WorkFolder.h"
#include "platform/EndSignals.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace {

const QString kNoGameFolder =
    QStringLiteral("%1 does not hold the game: no Data/Cars folder in it");

// The options of kavro-cars. The program's own (--game, --help, --version) may stand before the
// command; --name and --json are read there too, as they always were, and said to belong to
// their command when another is given.
const QString kProgram = QStringLiteral("kavro-cars");
const QCommandLineOption kGame(QStringLiteral("game"), QString(), QStringLiteral("DIR"));
const QCommandLineOption kHelp(QStringList{QStringLiteral("h"), QStringLiteral("help")}, QString());
const QCommandLineOption kVersion(QStringLiteral("version"), QString());
const QCommandLineOption kName(QStringLiteral("name"), QString(), QStringLiteral("TEXT"));
const QCommandLineOption kJson(QStringLiteral("json"), QString());
const QCommandLineOption kAgain(QStringLiteral("again"), QString());

// The parser's complaint in kavro-cars' own words.
QString parseError(const QCommandLineParser& parser) {
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.isEmpty()) {
        // "Missing value after '--name'."
        const QString text = parser.errorText();
        const qsizetype open = text.indexOf(u'\'');
        const qsizetype close = text.lastIndexOf(u'\'');
        return open >= 0 && close > open
                   ? text.mid(open + 1, close - open - 1) + QStringLiteral(" needs a value")
                   : text;
    }
    const QString name = unknown.first();
    if (name == kJson.names().first())
        return QStringLiteral("--json is for the list command");
    if (name == kName.names().first())
        return QStringLiteral("--name is for the install command");
    if (name == kAgain.names().first())
        return QStringLiteral("--again is for the install command");
    return QStringLiteral("unknown option %1%2 (see kavro-cars --help)")
        .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name);
}

} // namespace

CarsCommand::CarsCommand(QString programFolder) {
    m_ctx.session = &m_session;
    m_ctx.settings = &m_settings;
    m_ctx.prompts = &m_notices;
    m_ctx.programEnd = &m_end;
    m_ctx.clock = &m_clock;
    m_ctx.programFolder = std::move(programFolder);
}

namespace {

// One command of the players: how it is called, what it does and its own options. Its --help
// prints the three; kavro-cars --help lists every command. A new command adds one entry.
struct CommandHelp {
    QString name;
    QString usage;
    QString text;    // its lines, each ending in a line end
    QString options; // lines of the form "  --x   what"
};

const QString kGameOptionLine = QStringLiteral(
    "  --game DIR   the game in DIR instead of the one kavro finds (see kavro-cars --help)\n");

// The descriptions, one string per command (kept short of the line's end so each reads whole).
const QString kInstallText = QStringLiteral(
    "Installs each car ZIP as kavro installs a downloaded car: a fresh car id, the\n"
    "game's folders, the video-wall pictures and a serial number no other car holds.\n"
    "The car's name (its ID.TXT) is the ZIP's file name without its extension, or TEXT\n"
    "for a single ZIP. One line per ZIP: the new car id and its serial number, or\n"
    "\"failed: \" and the reason. The run's log replaces the work folder's DOWNLOAD.LOG\n"
    "(kavro /SHOWLOG shows it). The game takes at most 50 cars: ZIPs that would pass\n"
    "that are refused, all of them. A car that is already in the game or parked in its\n"
    "garage (the same car, whatever its car id, serial number or ZIP name) is refused\n"
    "with \"already installed as ID\" or \"already parked as ID\"; --again installs a\n"
    "second copy anyway.\n");
const QString kListText = QStringLiteral(
    "The installed cars in the game's order: id, serial number, name, and the marks\n"
    "\"conflict with ID\" and \"invalid archive\", then the parked cars with the mark\n"
    "\"parked\". --json gives a JSON array.\n");
const QString kFixText = QStringLiteral(
    "Gives every car that shares its serial number with another a free one, as kavro\n"
    "/SERIAL does, and says what it changed.\n");
const QString kRemoveText = QStringLiteral(
    "Removes each car: its folder in Data/Cars, its save folder in SaveData/Cars and\n"
    "its video-wall pictures. The game's own cars can be removed too. Nothing is asked;\n"
    "an id that is not installed refuses the whole command. A parked car is removed\n"
    "from the garage.\n");
const QString kParkText = QStringLiteral(
    "Moves each car out of the game into the game's garage (Data/.kavro-garage): its\n"
    "folder, save folder and video-wall pictures, whole. The game no longer sees it;\n"
    "list shows it with the mark \"parked\".\n");
const QString kUnparkText =
    QStringLiteral("Brings parked cars back, whole, all or none: refused when the game would hold\n"
                   "more than 50 cars. A serial number another car holds is changed as an install\n"
                   "changes it.\n");
const QString kSetText = QStringLiteral(
    "A set is a named list of cars. save keeps the cars in the game now; use parks\n"
    "every car not in the set and brings back the set's parked cars, all or none; list\n"
    "shows the sets, delete forgets one. Sets are kept in the game's garage.\n");
const QString kSetGameText = QStringLiteral(
    "Checks that DIR holds the game (a Data/Cars folder, names in any letter case) and\n"
    "records it as the game's InstallPath in the settings store, for kavro and\n"
    "kavro-cars alike.\n");

const QString kHelpHead = QStringLiteral(
    "Usage: kavro-cars [--game DIR] COMMAND [ARGUMENTS]\n"
    "       kavro-cars COMMAND --help\n"
    "\n"
    "Installs, lists, fixes and removes the add-on cars of Need for Speed High Stakes with\n"
    "the same code as kavro.\n"
    "\n"
    "Commands:\n");
const QString kHelpTail = QStringLiteral(
    "\n"
    "Options:\n"
    "  --game DIR   the game in DIR instead of the one kavro finds: the settings store's\n"
    "               InstallPath, else the game's entry in the Wine prefixes, in this order:\n"
    "               $WINEPREFIX, ~/.wine, Lutris (the prefix: of ~/.config/lutris/games/\n"
    "               *.yml), Bottles (~/.local/share/bottles/bottles/*, and for the Flatpak\n"
    "               ~/.var/app/com.usebottles.bottles/data/bottles/bottles/*), PlayOnLinux\n"
    "               (~/.PlayOnLinux/wineprefix/*)\n"
    "  --help       this text (after a command: that command's own)\n"
    "  --version    the version\n"
    "\n"
    "A car is in the game whole or not at all. Ctrl+C, a closed terminal or a termination\n"
    "request (SIGINT, SIGHUP, SIGTERM) lets the car in hand be finished, or given up when it\n"
    "is still being unpacked, and does no more; the command says what it did not do. An\n"
    "install, fix or removal that was killed outright is finished or undone by the next\n"
    "kavro-cars command or kavro start, with a line saying which car. Install, fix and remove\n"
    "refuse while kavro or another of them holds the work folder; while another program\n"
    "changes the game's cars (the game's lock, Data/.kavro.lock) they wait up to 5 seconds,\n"
    "then refuse.\n"
    "\n"
    "Exit status: 0 when everything asked for was done, 1 otherwise (errors on standard\n"
    "error).\n");

const QList<CommandHelp>& commandHelps() {
    static const QList<CommandHelp> helps = {
        {QStringLiteral("install"), QStringLiteral("install [--name TEXT] [--again] ZIP..."),
         kInstallText,
         QStringLiteral("  --name TEXT  the car's name, for a single ZIP\n"
                        "  --again      install a car that is already in the game or parked\n") +
             kGameOptionLine},
        {QStringLiteral("list"), QStringLiteral("list [--json]"), kListText,
         QStringLiteral("  --json       a JSON array\n") + kGameOptionLine},
        {QStringLiteral("fix"), QStringLiteral("fix"), kFixText, kGameOptionLine},
        {QStringLiteral("remove"), QStringLiteral("remove ID..."), kRemoveText, kGameOptionLine},
        {QStringLiteral("park"), QStringLiteral("park ID..."), kParkText, kGameOptionLine},
        {QStringLiteral("unpark"), QStringLiteral("unpark ID..."), kUnparkText, kGameOptionLine},
        {QStringLiteral("set"),
         QStringLiteral("set save NAME | set use NAME | set list | set delete NAME"), kSetText,
         kGameOptionLine},
        {QStringLiteral("set-game"), QStringLiteral("set-game DIR"), kSetGameText, QString()},
    };
    return helps;
}

const CommandHelp* commandHelp(const QString& name) {
    for (const CommandHelp& help : commandHelps())
        if (help.name == name)
            return &help;
    return nullptr;
}

} // namespace

QString CarsCommand::commandHelpText(const QString& command) {
    const CommandHelp* help = commandHelp(command);
    if (!help)
        return {};
    QString text = QStringLiteral("Usage: kavro-cars %1\n\n").arg(help->usage);
    text += help->text;
    text += QStringLiteral("\nOptions:\n") + help->options +
            QStringLiteral("  --help       this text\n");
    return text;
}

QString CarsCommand::helpText() {
    QString commands;
    for (const CommandHelp& help : commandHelps()) {
        commands += QStringLiteral("  ") + help.usage + u'\n';
        for (const QString& line : help.text.split(u'\n', Qt::SkipEmptyParts))
            commands += QStringLiteral("      ") + line + u'\n';
    }
    // The players' catalogue sources, then the hosts' commands, after the players' car commands.
    commands += SourceCommands::helpText();
    commands += CatalogueCommands::helpText();
    return kHelpHead + commands + kHelpTail;
}

int CarsCommand::fail(const QString& message) {
    m_err << "kavro-cars: " << message << Qt::endl;
    return 1;
}

// The program's parser reads what stands before the command; each command has a parser of its
// own for what follows it (the hosts' commands read theirs themselves).
bool CarsCommand::parse(const QStringList& args, QString& error) {
    QCommandLineParser program;
    program.addOptions({kGame, kHelp, kVersion, kName, kJson});
    program.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!program.parse(QStringList{kProgram} + args)) {
        error = parseError(program);
        return false;
    }
    readOptions(program);
    QStringList rest = program.positionalArguments();
    if (rest.isEmpty())
        return true;
    m_command = rest.takeFirst();
    if (m_command == QLatin1String("catalogue") || m_command == QLatin1String("check") ||
        m_command == QLatin1String("source")) {
        m_operands = rest;
        return true;
    }
    QCommandLineParser command;
    command.addOptions({kGame, kHelp});
    if (m_command == QLatin1String("install"))
        command.addOptions({kName, kAgain});
    else if (m_command == QLatin1String("list"))
        command.addOption(kJson);
    if (!command.parse(QStringList{kProgram + u' ' + m_command} + rest)) {
        error = parseError(command);
        return false;
    }
    readOptions(command);
    m_operands = command.positionalArguments();
    return true;
}

void CarsCommand::readOptions(const QCommandLineParser& parser) {
    const QStringList found = parser.optionNames();
    m_help = m_help || found.contains(QLatin1String("h")) || found.contains(QLatin1String("help"));
    m_version = m_version || found.contains(QLatin1String("version"));
    m_json = m_json || found.contains(QLatin1String("json"));
    m_again = m_again || found.contains(QLatin1String("again"));
    if (found.contains(QLatin1String("game"))) {
        m_gameDir = parser.value(kGame);
        m_hasGameDir = true;
    }
    if (found.contains(QLatin1String("name"))) {
        m_name = parser.value(kName);
        m_hasName = true;
    }
}

int CarsCommand::run(const QStringList& args) {
    QString error;
    if (!parse(args, error))
        return fail(error);
    if (m_help) {
        // After a command: that command's own usage and options.
        const QString own = commandHelpText(m_command);
        m_out << (own.isEmpty() ? helpText() : own) << Qt::flush;
        return 0;
    }
    if (m_version) {
        m_out << "kavro-cars " << ProgramInfo::versionMajor() << '.' << ProgramInfo::versionMinor()
              << '.' << ProgramInfo::versionRevision() << Qt::endl;
        return 0;
    }
    if (m_command.isEmpty())
        return fail(QStringLiteral("no command given (see kavro-cars --help)"));
    if (m_json && m_command != QLatin1String("list"))
        return fail(QStringLiteral("--json is for the list command"));
    if (m_hasName && m_command != QLatin1String("install"))
        return fail(QStringLiteral("--name is for the install command"));
    if (m_command == QLatin1String("catalogue"))
        return CatalogueCommands::catalogue(m_ctx, m_operands, m_out, m_err);
    if (m_command == QLatin1String("check"))
        return CatalogueCommands::check(m_ctx, m_operands, m_out, m_err);
    if (m_command == QLatin1String("source"))
        return SourceCommands::source(m_ctx, m_operands, m_out, m_err);
    if (m_command == QLatin1String("set-game"))
        return setGame();
    if (m_command == QLatin1String("install"))
        return install();
    if (m_command == QLatin1String("list"))
        return list();
    if (m_command == QLatin1String("fix"))
        return fix();
    if (m_command == QLatin1String("remove"))
        return remove();
    if (GarageCommands::isGarageCommand(m_command))
        return garage();
    return fail(QStringLiteral("unknown command %1 (see kavro-cars --help)").arg(m_command));
}

// The game folder: --game, else where kavro finds it. A folder without Data/Cars is refused, so
// nothing is ever created in a folder that is not the game.
bool CarsCommand::findGame() {
    QString game;
    if (m_hasGameDir) {
        if (!GameFolder::holdsGame(m_gameDir)) {
            fail(kNoGameFolder.arg(m_gameDir));
            return false;
        }
        game = QDir(m_gameDir).absolutePath();
    } else {
        QString looked;
        game = AppSettings::ReadGameFolder(m_ctx, &looked);
        if (!GameFolder::holdsGame(game)) {
            fail(StartupMessages::kGameMissing + QStringLiteral(" Looked at: ") + looked +
                 QStringLiteral(". Name the game folder with --game DIR, or record it once with "
                                "kavro-cars set-game DIR."));
            return false;
        }
    }
    m_session.GamePath = game.endsWith(u'/') ? game : game + u'/';
    StartupPaths::setSessionPaths(m_session, false);
    return true;
}

bool CarsCommand::findExtractor() {
    const QString command = AppSettings::ReadWinZipCommand(m_ctx);
    if (command.isEmpty()) {
        fail(StartupMessages::winZipMissing());
        return false;
    }
    m_session.WinZipPath = AppSettings::WinZipProgram(command);
    return true;
}

int CarsCommand::install() {
    if (m_operands.isEmpty())
        return fail(QStringLiteral("install needs at least one ZIP"));
    if (m_hasName && m_operands.size() != 1)
        return fail(QStringLiteral("--name names the car of a single ZIP"));
    if (!findGame() || !findExtractor() || !holdWorkFolder(Hold::Unpack))
        return 1;
    const QString refusal =
        ZipInstallRun::limitRefusal(int(m_operands.size()), CountInstalledCars(m_session));
    if (!refusal.isEmpty())
        return fail(refusal);

    QList<ZipInstallRun::Car> cars;
    for (const QString& zip : std::as_const(m_operands))
        cars.append({zip, m_hasName ? m_name : ZipInstallRun::defaultName(zip)});
    ZipInstallRun run(m_ctx);
    run.again = m_again;
    run.onCar = [this](const ZipInstallRun::Result& r) {
        m_out << ZipInstallRun::line(r) << Qt::endl;
        // A signal that came while the car's copies ran: no further car starts.
        if (EndSignals::received() && !m_end.ended())
            m_end.EndProgram();
    };
    const QList<ZipInstallRun::Result> results = run.run(cars);
    // The cars are in the game; the log that says so could not be kept.
    const int logStatus =
        run.logWritten() ? 0 : fail(run.log().section(QStringLiteral("\r\n"), -2, -2));
    if (results.size() < cars.size())
        return fail(QStringLiteral("interrupted: %1 and the ZIPs after it were not installed")
                        .arg(cars.at(results.size()).zipPath));
    if (EndSignals::received())
        return interrupted(QStringLiteral("the last ZIP, %1").arg(cars.last().zipPath));
    for (const ZipInstallRun::Result& r : results)
        if (!r.installed())
            return 1;
    return logStatus;
}

bool CarsCommand::holdWorkFolder(Hold hold) {
    // The undo of unfinished installs and every change of the game hold the game's own lock,
    // whatever another program's work folder: no two change one game at once.
    auto game = std::make_unique<GameLock>(m_session.GamePath);
    auto folder = std::make_unique<WorkFolder>(m_session.workDir());
    if (hold == Hold::Look) {
        // Installs that a running program has under way are its own: only a free game is tidied
        // (and only one with a staging folder or a garage journal: a look writes nothing into
        // the game).
        if ((!InstallStaging::hasUnfinished(m_session.GamePath) &&
             !Garage::hasUnfinished(m_session.GamePath)) ||
            !game->lock())
            return true;
    } else {
        // The ZIPs are unpacked in kavro's work folder: it must be private, and held.
        QString problem = hold == Hold::Unpack ? folder->make() : QString();
        if (problem.isEmpty())
            folder->lock(&problem);
        if (problem.isEmpty())
            game->lock(&problem, GameLock::kCommandWaitMs);
        if (!problem.isEmpty()) {
            fail(problem);
            return false;
        }
    }
    for (const QString& line : InstallStaging::undoUnfinished(m_session.GamePath))
        m_err << "kavro-cars: " << line << Qt::endl;
    for (const QString& line : Garage::recover(m_session.GamePath))
        m_err << "kavro-cars: " << line << Qt::endl;
    if (hold != Hold::Look) {
        m_workFolder = std::move(folder);
        m_gameLock = std::move(game);
    }
    return true;
}

int CarsCommand::interrupted(const QString& finished, const QString& notDone) {
    const QString signal = QString::fromLatin1(EndSignals::name(EndSignals::received()));
    return fail(notDone.isEmpty()
                    ? QStringLiteral("interrupted by %1: %2 was finished first; nothing was left "
                                     "undone")
                          .arg(signal, finished)
                    : QStringLiteral("interrupted by %1: %2 was finished first; %3")
                          .arg(signal, finished, notDone));
}

int CarsCommand::list() {
    if (!m_operands.isEmpty())
        return fail(QStringLiteral("list takes no arguments"));
    if (!findGame() || !holdWorkFolder(Hold::Look))
        return 1;
    const QList<InstalledCar> cars =
        InstalledCarList::scan(m_session) + Garage(m_session).parkedCars();
    if (m_json) {
        m_out << QString::fromUtf8(InstalledCarList::json(cars)) << Qt::flush;
        return 0;
    }
    for (const InstalledCar& car : cars)
        m_out << printable(InstalledCarList::line(car)) << '\n';
    m_out << Qt::flush;
    return EndSignals::received() ? interrupted(QStringLiteral("the list")) : 0;
}

int CarsCommand::fix() {
    if (!m_operands.isEmpty())
        return fail(QStringLiteral("fix takes no arguments"));
    if (!findGame() || !holdWorkFolder(Hold::Change))
        return 1;
    int status = 0;
    const QStringList lines =
        FixSerialConflicts(m_session, m_notices, [] { return EndSignals::received() != 0; });
    for (const QString& line : lines) {
        m_out << line << '\n';
        if (line.contains(kSerialNotChanged))
            status = 1;
    }
    m_out << Qt::flush;
    if (EndSignals::received())
        return interrupted(QStringLiteral("the check of the car in hand"),
                           QStringLiteral("the cars after it were not checked"));
    return status;
}

int CarsCommand::remove() {
    if (m_operands.isEmpty())
        return fail(QStringLiteral("remove needs at least one car id"));
    if (!findGame() || !holdWorkFolder(Hold::Change))
        return 1;
    // Every id is checked before anything is removed.
    QStringList names;
    bool refused = false;
    QStringList parked;
    Garage garage(m_session);
    for (const QString& id : std::as_const(m_operands)) {
        QString why = CarRemoval::refusal(m_session, id);
        if (const QString name = garage.parkedName(id); !why.isEmpty() && !name.isEmpty()) {
            if (!parked.contains(name))
                parked.append(name);
            continue;
        }
        if (!why.isEmpty()) {
            fail(why);
            refused = true;
            continue;
        }
        const QString name = CarRemoval::installedName(m_session, id);
        if (!names.contains(name))
            names.append(name);
    }
    if (refused)
        return fail(QStringLiteral("nothing was removed"));
    int status = 0;
    for (const QString& name : std::as_const(parked)) {
        QString why;
        if (garage.removeParked(name, &why)) {
            m_out << name << " removed" << Qt::endl;
        } else {
            fail(QStringLiteral("%1 could not be removed: %2").arg(name, why));
            status = 1;
        }
    }
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString& name = names.at(i);
        if (EndSignals::received())
            return interrupted(QStringLiteral("the removal of %1").arg(names.at(i - 1)),
                               QStringLiteral("%1 not removed").arg(names.mid(i).join(u' ')));
        QString why;
        if (CarRemoval::removeCar(m_session, name, &why)) {
            m_out << name << " removed" << Qt::endl;
        } else {
            fail(QStringLiteral("%1 could not be removed: %2").arg(name, why));
            status = 1;
        }
    }
    if (EndSignals::received() && !names.isEmpty())
        return interrupted(QStringLiteral("the removal of %1").arg(names.last()));
    return status;
}

int CarsCommand::garage() {
    const bool reads = GarageCommands::onlyReads(m_command, m_operands);
    if (!findGame() || !holdWorkFolder(reads ? Hold::Look : Hold::Change))
        return 1;
    return GarageCommands::run(m_session, m_command, m_operands, m_out, m_err);
}

int CarsCommand::setGame() {
    if (m_operands.size() != 1)
        return fail(QStringLiteral("set-game needs one folder"));
    const QString dir = m_operands.first();
    if (!QFileInfo::exists(dir))
        return fail(QStringLiteral("%1 does not exist").arg(dir));
    if (!GameFolder::holdsGame(dir))
        return fail(kNoGameFolder.arg(dir));
    const QString game = QDir(dir).absolutePath();
    if (!AppSettings::WriteGameFolder(m_ctx, game))
        return fail(
            QStringLiteral("cannot write the settings store %1").arg(m_settings.filePath()));
    m_out << "The game folder is now " << game << Qt::endl;
    // The game named now may hold an install that never finished; it is tidied only while the
    // work folder (of this TEMP, as for every command) is free.
    m_session.GamePath = game + u'/';
    StartupPaths::setSessionPaths(m_session, false);
    holdWorkFolder(Hold::Look);
    return 0;
}
