#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const char* const kVars[] = {"TEMP",
                             "TMPDIR",
                             "XDG_CONFIG_HOME",
                             "XDG_STATE_HOME",
                             "HOME",
                             "KAVRO_HANGUP_COMMAND",
                             "KAVRO_SHUTDOWN_COMMAND",
                             "WINEPREFIX",
                             "KAVRO_LOCALHOST"};
}

TestEnv::TestEnv() {
    for (const char* v : kVars)
        m_savedEnv.insert(v, qgetenv(v));
    QDir d(m_dir.path());
    for (const char* sub : {"game/Data/Cars", "game/SaveData/Cars", "game/Data/FeArt/Vidwall",
                            "temp/Kavro/VIVTMP", "config/kavro", "home"})
        d.mkpath(QString::fromLatin1(sub));
    qputenv("TEMP", (root() + QStringLiteral("temp")).toLocal8Bit());
    qputenv("TMPDIR", (root() + QStringLiteral("temp")).toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", configHome().toLocal8Bit());
    qputenv("XDG_STATE_HOME", (root() + QStringLiteral("state")).toLocal8Bit());
    qputenv("HOME", (root() + QStringLiteral("home")).toLocal8Bit());
    qputenv("WINEPREFIX", (root() + QStringLiteral("no-wine")).toLocal8Bit());
    qunsetenv("KAVRO_LOCALHOST");
    const QByteArray log = actionsLog().toLocal8Bit();
    qputenv("KAVRO_HANGUP_COMMAND", "sh -c 'echo hangup >> \"" + log + "\"'");
    qputenv("KAVRO_SHUTDOWN_COMMAND", "sh -c 'echo shutdown >> \"" + log + "\"'");

    settings = std::make_unique<SettingsStore>(configHome() + QStringLiteral("kavro/registry.reg"));
    session.GamePath = gamePath();
    session.SessionPaths[Session::WorkDir] = workDir();
    session.WinZipPath = QStringLiteral("\"" KAVRO_BIN_DIR "/kavro-unzip\"");
    ctx.session = &session;
    ctx.settings = settings.get();
    ctx.prompts = &prompts;
    ctx.programEnd = &programEnd;
    ctx.clock = &clock;
    ctx.actions = &actions;
    ctx.network = &network;
    ctx.programFolder = QStringLiteral(KAVRO_BIN_DIR);
    ctx.netClassFolder = root() + QStringLiteral("net"); // no dial-up link unless a test adds one
    ctx.routeFile = root() + QStringLiteral("route");    // no default route unless a test adds one
    // The player cancels every folder chooser and file dialog unless a test answers.
    ctx.chooseFolder = [](const QString&) { return QString(); };
    ctx.chooseFiles = [](const QString&, const QString&) { return QStringList(); };
}

TestEnv::~TestEnv() {
    for (auto it = m_savedEnv.constBegin(); it != m_savedEnv.constEnd(); ++it) {
        if (it.value().isNull())
            qunsetenv(it.key().constData());
        else
            qputenv(it.key().constData(), it.value());
    }
}

QString TestEnv::writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}
