#pragma once

#include "StderrNotices.h"
#include "core/gamedata/GameLock.h"
#include "core/session/AppContext.h"
#include "core/session/Session.h"
#include "core/session/WorkFolder.h"
#include "platform/Clock.h"
#include "platform/ProgramEnd.h"
#include "platform/SettingsStore.h"

#include <QStringList>
#include <QTextStream>

class QCommandLineParser;

// One run of kavro-cars: reads the command line, finds the game, the extractor and the work folder
// the way kavro does, and runs one command (install, list, fix, remove, set-game, and the hosts'
// catalogue and check). Results go to standard output, errors to standard error; run() returns
// the exit status.
class CarsCommand {
public:
    explicit CarsCommand(QString programFolder);
    int run(const QStringList& args);

    // The end of the program as an ending signal asks for it: the install in progress stops
    // while it waits for its extractor, leaving the game as it was, and no further ZIP is
    // installed; the other commands finish the car in hand and stop.
    ProgramEnd& programEnd() { return m_end; }

    static QString helpText();

private:
    bool parse(const QStringList& args, QString& error);
    void readOptions(const QCommandLineParser& parser);
    bool findGame();
    bool findExtractor();
    int install();
    int list();
    int fix();
    int remove();
    int setGame();
    int garage();
    int fail(const QString& message);
    // Holds the work folder and the game's lock (Change, Unpack: refusing when another program
    // holds either, after waiting a few seconds for the game's; Unpack also makes the folder)
    // and undoes the installs that never finished. Look only tidies when the game is free.
    enum class Hold { Look, Change, Unpack };
    bool holdWorkFolder(Hold hold);
    // After an ending signal: names what was finished and what was not done; returns 1.
    int interrupted(const QString& finished, const QString& notDone = {});

    QTextStream m_out{stdout};
    QTextStream m_err{stderr};
    Session m_session;
    SettingsStore m_settings{SettingsStore::defaultPath()};
    StderrNotices m_notices{m_err};
    ProgramEnd m_end{true}; // only recorded: the commands finish their step and return
    Clock m_clock;
    AppContext m_ctx;
    std::unique_ptr<WorkFolder> m_workFolder;
    std::unique_ptr<GameLock> m_gameLock;

    QString m_command;
    QStringList m_operands;
    QString m_gameDir;
    bool m_hasGameDir = false;
    QString m_name;
    bool m_hasName = false;
    bool m_json = false;
    bool m_again = false;
    bool m_help = false;
    bool m_version = false;
};
