#pragma once

#include "FixedClock.h"
#include "RecordingActions.h"
#include "ScriptedPrompts.h"
#include "core/session/AppContext.h"
#include "core/session/Session.h"
#include "platform/ProgramEnd.h"
#include "platform/SettingsStore.h"

#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <memory>

// A whole test world in a temporary folder, never the real home:
//   root/game/     the game folder (GamePath), with Data/Cars, SaveData/Cars, Data/FeArt/Vidwall
//   root/temp/     TEMP (WorkDir is root/temp/Kavro/, created)
//   root/config/   XDG_CONFIG_HOME (the settings store is root/config/kavro/registry.reg)
//   root/home/     HOME
//   root/state/    XDG_STATE_HOME (not created)
// The environment variables TEMP, TMPDIR, XDG_CONFIG_HOME, XDG_STATE_HOME, HOME,
// KAVRO_HANGUP_COMMAND and KAVRO_SHUTDOWN_COMMAND point into it (the two commands append a line
// to root/actions.log). ctx holds a fresh Session, the store, scripted prompts, a recording
// program end (nothing really ends), a real clock (or the FixedClock when useFixedClock()),
// recording system actions and a network manager. No system answer to "is the machine online":
// ctx.netClassFolder and ctx.routeFile point into root, so the machine is offline until a test
// says otherwise.
class TestEnv {
public:
    TestEnv();
    ~TestEnv();

    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path() + QLatin1Char('/'); }
    QString gamePath() const { return root() + QStringLiteral("game/"); }
    QString workDir() const { return root() + QStringLiteral("temp/Kavro/"); }
    QString configHome() const { return root() + QStringLiteral("config/"); }
    QString actionsLog() const { return root() + QStringLiteral("actions.log"); }
    void useFixedClock() { ctx.clock = &fixedClock; }

    // Writes a file (creating its folders); returns its path.
    QString writeFile(const QString& path, const QByteArray& bytes);

    Session session;
    std::unique_ptr<SettingsStore> settings;
    ScriptedPrompts prompts;
    ProgramEnd programEnd{true};
    Clock clock;
    FixedClock fixedClock;
    RecordingActions actions;
    QNetworkAccessManager network;
    AppContext ctx;

private:
    QTemporaryDir m_dir;
    QHash<QByteArray, QByteArray> m_savedEnv;
};
