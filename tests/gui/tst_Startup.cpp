#include "gui/Startup.h"

#include "CatalogueText.h"
#include "FakeHttpServer.h"
#include "TestEnv.h"
#include "TestFiles.h"
#include "VivBuilder.h"
#include "WindowWatcher.h"
#include "ZipBuilder.h"
#include "core/gamedata/CarSerials.h"
#include "core/session/AppSettings.h"
#include "core/session/CommandLine.h"
#include "core/session/ProgramInfo.h"
#include "core/session/RunOnceEntry.h"
#include "core/session/WorkFolder.h"
#include "gui/frmInstalled.h"
#include "gui/frmLog.h"
#include "gui/frmSelect.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLockFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace AppSettings;

using TestFiles::readAll;

namespace {

const QString kNoGame = QStringLiteral(
    "NFSHS is not installed on this computer, or it's files are corrupt. Please (re)install it.");
const QString kNoWinZip =
    QStringLiteral("This program requires WinZip to perform all unzipping operations. Please make "
                   "sure it is installed. You can download it for free from ") +
    ProgramInfo::kWinZipWebSite;

// Records, at each box, whether the welcome window was there with Continue enabled.
class WatchingPrompts : public ScriptedPrompts {
public:
    Answer show(const QString& text, const QString& title, int style) override {
        frmSplash* splash = startup ? startup->splash() : nullptr;
        continueEnabled.append(!splash || splash->cmdOK->isEnabled());
        return ScriptedPrompts::show(text, title, style);
    }
    const Startup* startup = nullptr;
    QList<bool> continueEnabled;
};

} // namespace

class tst_Startup : public QObject {
    Q_OBJECT
private:
    // A machine with the game registered (without a trailing "/") and the previous run's
    // leftovers in the work folder.
    void installGame(TestEnv& env) {
        QString game = env.gamePath();
        game.chop(1);
        env.settings->WriteSetting(RegistryRoot::LocalMachine, kGameKey, "InstallPath", game);
    }
    void leaveJunk(TestEnv& env) {
        env.writeFile(env.workDir() + "DOWNLOAD.LOG", "old log\r\n");
        env.writeFile(env.workDir() + "CAR1/sub/CAR.VIV", "BIGF");
        env.writeFile(env.workDir() + "VIVTMP/fedata.eng", "x");
        env.writeFile(env.workDir() + ".hidden", "x");
    }
    // Runs start-up; a log window that opens is read and closed with its close box.
    QString runCapturingLog(TestEnv& env, const QString& line) {
        env.ctx.commandLine = line;
        QString shown;
        WindowWatcher::whenShown("frmLog", [&](QWidget* w) {
            auto* log = static_cast<frmLog*>(w);
            shown = log->txtlog->toPlainText();
            log->close();
        });
        Startup(env.ctx).run();
        return shown;
    }

private Q_SLOTS:
    void cleanup() {
        WindowWatcher::closeAll();
        QApplication::setQuitOnLastWindowClosed(true);
    }

    void nothingInstalledEndsBeforeWritingAnything_data() {
        QTest::addColumn<QString>("game"); // the store's InstallPath: "<game>", "<none>", a path
        QTest::addColumn<QString>("winZipValue"); // "<none>": not registered
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("no game") << "<none>"
                                 << "<none>"
                                 << ""
                                 << "NFSHS" << kNoGame;
        QTest::newRow("no game, /SERIAL") << "<none>"
                                          << "<none>"
                                          << "/SERIAL"
                                          << "NFSHS" << kNoGame;
        QTest::newRow("store names a folder that does not exist") << "gone/NFSHS"
                                                                  << "<none>"
                                                                  << ""
                                                                  << "NFSHS" << kNoGame;
        QTest::newRow("store names a folder without Data") << "empty"
                                                           << "<none>"
                                                           << "/serial"
                                                           << "NFSHS" << kNoGame;
        QTest::newRow("empty WinZip value") << "<game>"
                                            << ""
                                            << ""
                                            << "WinZip" << kNoWinZip;
        QTest::newRow("empty WinZip value, /SERIAL") << "<game>"
                                                     << ""
                                                     << "/serial"
                                                     << "WinZip" << kNoWinZip;
        // A ZIP that is not there is named, never read as switches (nor the fixer opened).
        QTest::newRow("missing ZIP named like a switch")
            << "<game>"
            << "<none>"
            << "<root>/serial.zip"
            << "Kavro"
            << "The car ZIP <root>/serial.zip does not exist.";
        QTest::newRow("missing ZIPs beside one that is there")
            << "<game>"
            << "<none>"
            << "<root>/gone.ZIP <root>/there.zip file://<root>/lost.zip"
            << "Kavro"
            << "These car ZIPs do not exist:\n<root>/gone.ZIP\n<root>/lost.zip";
    }
    void nothingInstalledEndsBeforeWritingAnything() {
        QFETCH(QString, game);
        QFETCH(QString, winZipValue);
        QFETCH(QString, line);
        QFETCH(QString, title);
        QFETCH(QString, text);
        TestEnv env;
        QDir().mkpath(env.root() + "empty");
        if (game == "<game>")
            installGame(env);
        else if (game != "<none>")
            env.settings->WriteSetting(RegistryRoot::LocalMachine, kGameKey, "InstallPath",
                                       env.root() + game);
        if (winZipValue != "<none>")
            env.settings->WriteSetting(RegistryRoot::ClassesRoot, kWinZipKey, "", winZipValue);
        leaveJunk(env);
        env.writeFile(env.root() + "there.zip", "PK");
        const QStringList workBefore = TestFiles::filesBelow(env.workDir());
        const QByteArray storeBefore = readAll(env.settings->filePath());

        const QString root = env.root().chopped(1);
        const QStringList args =
            QString(line).replace("<root>", root).split(u' ', Qt::SkipEmptyParts);
        env.ctx.commandLine = CommandLine::switchText(args);
        env.ctx.zipFiles = CommandLine::zipFiles(args);
        env.ctx.missingZips = CommandLine::missingZips(args);
        Startup(env.ctx).run();

        QCOMPARE(env.prompts.count(), 1);
        QCOMPARE(env.prompts.last().title, title);
        QCOMPARE(env.prompts.last().text, QString(text).replace("<root>", root));
        QCOMPARE(env.prompts.last().style, 16);
        QCOMPARE(env.programEnd.endCount(), 1);
        QCOMPARE(env.programEnd.exitStatus(), 1);
        QCOMPARE(TestFiles::filesBelow(env.workDir()), workBefore);
        QCOMPARE(readAll(env.settings->filePath()), storeBefore);
        QVERIFY(!WindowWatcher::find("frmSerial"));
        QVERIFY(!WindowWatcher::find("frmSplash"));
        // Nothing is made where the store pointed.
        QVERIFY(!QFileInfo::exists(env.root() + "gone"));
        QCOMPARE(TestFiles::filesBelow(env.root() + "empty"), QStringList());
    }

    // The game found nowhere: the player is asked where it is. A copy of the game (names in lower
    // case) is recorded and the start goes on; the next start finds it without asking. A folder
    // without the game is said in a box and the player is asked again, until Cancel ends the
    // start with the "not installed" box.
    void noGameAsksWhereItIs_data() {
        QTest::addColumn<QStringList>("picks"); // "" is Cancel
        QTest::addColumn<bool>("found");
        QTest::newRow("lower-case copy") << QStringList{"copy/nfshs"} << true;
        QTest::newRow("folder without the game, then the game")
            << QStringList{"copy", "copy/nfshs"} << true;
        QTest::newRow("folders without the game, then Cancel")
            << QStringList{"copy", "gone", ""} << false;
    }
    void noGameAsksWhereItIs() {
        QFETCH(QStringList, picks);
        QFETCH(bool, found);
        TestEnv env;
        QDir().mkpath(env.root() + "copy/nfshs/data/cars");
        QStringList asked;
        env.ctx.chooseFolder = [&](const QString& title) {
            const QString picked = picks.value(asked.size());
            asked << title;
            return picked.isEmpty() ? QString() : env.root() + picked;
        };
        Startup(env.ctx).run();
        QCOMPARE(asked.size(), picks.size());
        QCOMPARE(asked.first(), "Where is Need for Speed High Stakes?");
        // Each wrong folder is named in a box that says what the game's folder holds.
        QStringList refusals;
        for (const auto& p : env.prompts.boxes())
            if (p.title == "Where is Need for Speed High Stakes?")
                refusals << p.text;
        QCOMPARE(refusals.size(), picks.size() - 1);
        for (qsizetype i = 0; i < refusals.size(); ++i)
            QVERIFY2(refusals.at(i).startsWith(env.root() + picks.at(i) + " does not hold") &&
                         refusals.at(i).contains("must hold Data/Cars"),
                     qPrintable(refusals.at(i)));
        QCOMPARE(env.programEnd.ended(), !found);
        if (!found) {
            QCOMPARE(env.prompts.last().text, kNoGame);
            QCOMPARE(env.programEnd.exitStatus(), 1);
            return;
        }
        const QString picked = picks.last();
        QCOMPARE(env.prompts.count(), picks.size() - 1);
        QCOMPARE(env.session.GamePath, env.root() + picked + '/');
        QCOMPARE(WindowWatcher::countVisible("frmSplash"), 1);
        WindowWatcher::closeAll();
        Session next;
        env.ctx.session = &next;
        Startup(env.ctx).run();
        QCOMPARE(asked.size(), picks.size());
        QCOMPARE(next.GamePath, env.root() + picked + '/');
    }

    // ZIPs on the command line are installed, even when their path holds a switch, and the
    // program ends when the log closes (exit status 1 when a car failed); "/CARS" opens the
    // Installed Cars window alone. A desktop's file: address names the ZIP as its path does.
    void ownCarsRoads_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::newRow("ZIP named like a switch") << QStringList{"<root>/serial-pack.zip"} << 0;
        QTest::newRow("file: address") << QStringList{"file://<root>/serial-pack.zip"} << 0;
        QTest::newRow("ZIP without a car") << QStringList{"<root>/no-car.zip"} << 1;
        QTest::newRow("/CARS") << QStringList{"/cars"} << 0;
    }
    void ownCarsRoads() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        TestEnv env;
        installGame(env);
        ZipBuilder()
            .add("CAR.VIV", VivBuilder::carArchive(4))
            .write(env.root() + "serial-pack.zip");
        ZipBuilder().add("README.TXT", "no car here").write(env.root() + "no-car.zip");
        arguments.replaceInStrings("<root>/", env.root());
        env.ctx.commandLine = CommandLine::switchText(arguments);
        env.ctx.zipFiles = CommandLine::zipFiles(arguments);
        QString log;
        if (!env.ctx.zipFiles.isEmpty())
            WindowWatcher::whenShown("frmLog", [&](QWidget* w) {
                log = static_cast<frmLog*>(w)->txtlog->toPlainText();
                w->close();
            });
        Startup startup(env.ctx);
        startup.run();
        QVERIFY(!WindowWatcher::find("frmSerial"));
        QVERIFY(!WindowWatcher::find("frmSplash"));
        if (env.ctx.zipFiles.isEmpty()) {
            QCOMPARE(WindowWatcher::countVisible("frmInstalled"), 1);
            QVERIFY(!env.programEnd.ended());
            WindowWatcher::find("frmInstalled")->close();
            QVERIFY(env.programEnd.ended());
            return;
        }
        QCOMPARE(env.programEnd.endCount(), 1);
        QCOMPARE(env.programEnd.exitStatus(), status);
        QCOMPARE(env.prompts.count(), 0);
        QCOMPARE(CountInstalledCars(env.session), status == 0 ? 1 : 0);
        if (status != 0)
            return;
        QCOMPARE(log.count("ERRORS : (none)"), 1);
        QVERIFY(log.startsWith("serial-pack\n"));
    }

    void normalStartResetsTheWorkFolderAndStampsTheStore() {
        TestEnv env;
        env.useFixedClock();
        installGame(env);
        leaveJunk(env);
        // An install killed before its car arrived: the start undoes it.
        const QString staged = env.gamePath() + "Data/.kavro-staging/ZZZZ";
        env.writeFile(staged + "/CAR.VIV", "BIGF");
        env.writeFile(staged + ".PLACED",
                      "tree SaveData/Cars/ZZZZ\r\nfile Data/FeArt/Vidwall/ZZZZ.QFS\r\n");
        env.writeFile(env.gamePath() + "SaveData/Cars/ZZZZ/CAR.FEC", "fec");
        env.writeFile(env.gamePath() + "Data/FeArt/Vidwall/ZZZZ.QFS", "picture");
        QTest::ignoreMessage(QtWarningMsg,
                             "kavro: The install of car ZZZZ never finished: it was undone.");
        env.ctx.commandLine = QStringLiteral("");
        Startup startup(env.ctx);
        startup.run();
        QVERIFY(!QFileInfo::exists(env.gamePath() + "Data/.kavro-staging"));
        QVERIFY(!QFileInfo::exists(env.gamePath() + "SaveData/Cars/ZZZZ"));
        QVERIFY(!QFileInfo::exists(env.gamePath() + "Data/FeArt/Vidwall/ZZZZ.QFS"));

        QCOMPARE(env.prompts.count(), 0);
        QVERIFY(!env.programEnd.ended());
        QCOMPARE(TestFiles::filesBelow(env.root() + "temp/Kavro"), QStringList{"VIVTMP"});
        QCOMPARE(env.session.GamePath, env.gamePath());
        QCOMPARE(env.session.WinZipPath, QString("\"" KAVRO_BIN_DIR "/kavro-unzip\""));
        QCOMPARE(env.session.workDir(), env.workDir());
        QCOMPARE(env.session.SessionPaths[Session::ServerListURL],
                 ProgramInfo::kCatalogueBase + "kavro/svr/sl.dat");
        auto read = [&](const char* n) { return ReadAppSetting(env.ctx, QString::fromLatin1(n)); };
        QCOMPARE(read("installpath"), QString(KAVRO_BIN_DIR));
        QCOMPARE(read("appver"), QString::number(ProgramInfo::versionRevision()));
        QCOMPARE(read("lastopen"), "8/30/2000 9:05:31 PM");
        QCOMPARE(read("loadss"), "1");

        QVERIFY(startup.splash());
        QCOMPARE(WindowWatcher::countVisible("frmSplash"), 1);
        QVERIFY(startup.splash()->cmdOK->isEnabled());
        QVERIFY(!WindowWatcher::find("frmSelect"));
        QVERIFY(!QApplication::quitOnLastWindowClosed());

        // The fresh work folder is the user's alone.
        struct stat st = {};
        QCOMPARE(::stat(QFile::encodeName(env.root() + "temp/Kavro").constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0700));
        // While this copy runs, a second normal start leaves its work folder alone.
        env.writeFile(env.workDir() + "CAR1.ZIP", "downloading");
        Startup second(env.ctx);
        second.run();
        QCOMPARE(env.prompts.count(), 1);
        QCOMPARE(env.prompts.last().text, WorkFolder::alreadyRunningMessage());
        QCOMPARE(env.prompts.last().style, 16);
        QCOMPARE(env.programEnd.endCount(), 1);
        QCOMPARE(TestFiles::filesBelow(env.workDir()), (QStringList{"CAR1.ZIP", "VIVTMP"}));
        // The end of the program (which skips destructors) released the first copy's hold.
        WorkFolder next(env.workDir());
        QVERIFY(next.lock());
    }

    // While another program holds the game's lock (whatever its work folder), an install of
    // that program may be under way in the staging folder: no start undoes it.
    void aStartNeverUndoesALiveInstall_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("normal start") << "";
        QTest::newRow("/SERIAL") << "/SERIAL";
        QTest::newRow("/CARS") << "/CARS";
    }
    void aStartNeverUndoesALiveInstall() {
        QFETCH(QString, line);
        const QString flock = QStandardPaths::findExecutable("flock");
        if (flock.isEmpty())
            QSKIP("flock(1) is missing");
        TestEnv env;
        installGame(env);
        const QString staged = env.gamePath() + "Data/.kavro-staging/ZZZZ";
        env.writeFile(staged + "/CAR.VIV", "BIGF");
        env.writeFile(staged + ".PLACED", "tree SaveData/Cars/ZZZZ\r\n");
        env.writeFile(env.gamePath() + "SaveData/Cars/ZZZZ/CAR.FEC", "fec");
        QProcess other;
        other.start(flock, {env.gamePath() + "Data/.kavro.lock", "sleep", "30"});
        QTRY_COMPARE(QProcess::execute(flock, {"-n", env.gamePath() + "Data/.kavro.lock", "true"}),
                     1);
        env.ctx.commandLine = line;
        Startup startup(env.ctx);
        startup.run();
        other.kill();
        other.waitForFinished();
        QVERIFY(QFileInfo::exists(staged + "/CAR.VIV"));
        QVERIFY(QFileInfo::exists(staged + ".PLACED"));
        QVERIFY(QFileInfo::exists(env.gamePath() + "SaveData/Cars/ZZZZ/CAR.FEC"));
    }

    // A work folder that is not the user's own, or that a running copy holds, ends the start
    // with a message before anything is emptied, read or written.
    void unusableWorkFolderEndsTheStart_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("text"); // a part of the message
        QTest::newRow("symbolic link") << "link"
                                       << ""
                                       << "is a symbolic link";
        // The log viewer and the fixer write nothing in the work folder: they never refuse.
        QTest::newRow("symbolic link, /SHOWLOG") << "link"
                                                 << "/SHOWLOG" << QString();
        QTest::newRow("symbolic link, /SERIAL") << "link"
                                                << "/SERIAL" << QString();
        QTest::newRow("another user's") << "owner"
                                        << "/SKIPINTRO"
                                        << "belongs to another user";
        QTest::newRow("another user's, /SERIAL") << "owner"
                                                 << "/SERIAL" << QString();
        QTest::newRow("a file") << "file"
                                << ""
                                << "is not a folder";
        QTest::newRow("held by a running copy") << "held"
                                                << "" << WorkFolder::alreadyRunningMessage();
        QTest::newRow("held by a running copy, /SKIPINTRO")
            << "held"
            << "/SKIPINTRO" << WorkFolder::alreadyRunningMessage();
    }
    void unusableWorkFolderEndsTheStart() {
        QFETCH(QString, kind);
        QFETCH(QString, line);
        QFETCH(QString, text);
        TestEnv env;
        installGame(env);
        QString work = env.workDir();
        work.chop(1);
        if (kind == "link") {
            QDir(work).removeRecursively();
            env.writeFile(env.root() + "elsewhere/DOWNLOAD.LOG", "someone's log\r\n");
            QVERIFY(QFile::link(env.root() + "elsewhere", work));
        } else if (kind == "file") {
            QDir(work).removeRecursively();
            env.writeFile(work, "a file");
        } else {
            leaveJunk(env);
        }
        if (kind == "owner") {
            if (::geteuid() != 0)
                QSKIP("giving the folder to another user needs root");
            QCOMPARE(::chown(QFile::encodeName(work).constData(), 65534, 65534), 0);
        }
        QLockFile other(env.root() + "temp/Kavro.lock");
        if (kind == "held")
            QVERIFY(other.tryLock(0));
        const QStringList before = TestFiles::filesBelow(env.root());
        const QByteArray storeBefore = readAll(env.settings->filePath());

        if (text.isEmpty()) {
            const bool fixer = line == "/SERIAL";
            env.ctx.commandLine = line;
            const QString shown =
                fixer ? (Startup(env.ctx).run(), QString()) : runCapturingLog(env, line);
            QCOMPARE(env.prompts.count(), 0);
            QCOMPARE(TestFiles::filesBelow(env.root()), before);
            QVERIFY(fixer ? WindowWatcher::countVisible("frmSerial") == 1
                          : shown.contains("someone's log"));
            return;
        }
        env.ctx.commandLine = line;
        Startup(env.ctx).run();

        QCOMPARE(env.prompts.count(), 1);
        QCOMPARE(env.prompts.last().title, "Kavro");
        QVERIFY2(env.prompts.last().text.contains(text), qPrintable(env.prompts.last().text));
        QCOMPARE(env.prompts.last().style, 16);
        QCOMPARE(env.programEnd.endCount(), 1);
        QCOMPARE(TestFiles::filesBelow(env.root()), before);
        QCOMPARE(readAll(env.settings->filePath()), storeBefore);
        for (const char* window : {"frmLog", "frmSerial", "frmSplash", "frmSelect"})
            QVERIFY2(!WindowWatcher::find(window), window);
    }

    void serialOpensOnlyTheFixer() {
        TestEnv env;
        installGame(env);
        leaveJunk(env);
        // Beside a running copy too: the fixer never empties the work folder.
        QLockFile running(env.root() + "temp/Kavro.lock");
        QVERIFY(running.tryLock(0));
        const QStringList workBefore = TestFiles::filesBelow(env.workDir());
        env.ctx.commandLine = "kavro /Serial";
        Startup(env.ctx).run();
        QCOMPARE(WindowWatcher::countVisible("frmSerial"), 1);
        QVERIFY(!WindowWatcher::find("frmSplash"));
        QVERIFY(!WindowWatcher::find("frmSelect"));
        QCOMPARE(TestFiles::filesBelow(env.workDir()), workBefore);
        QCOMPARE(ReadAppSetting(env.ctx, "appver"), QString());
        QVERIFY(!env.programEnd.ended());
        // Closing the fixer, the only window, ends the program.
        QVERIFY(QApplication::quitOnLastWindowClosed());
    }

    void skipIntroChecksTheConnection_data() {
        QTest::addColumn<QByteArray>("stored"); // "Remote Connection"; null: no value
        QTest::addColumn<bool>("online");       // the system's answer
        QTest::addColumn<int>("answer");        // 0: no box expected
        QTest::addColumn<bool>("serverWindow");
        QTest::addColumn<bool>("ended");
        const QByteArray none;
        QTest::newRow("connected") << QByteArray("\x01") << false << 0 << true << false;
        QTest::newRow("Ignore") << QByteArray(1, 0) << false << int(MessageBoxService::Ignore)
                                << true << false;
        QTest::newRow("Abort ends the program")
            << QByteArray(1, 0) << false << int(MessageBoxService::Abort) << false << true;
        QTest::newRow("online, no value") << none << true << 0 << true << false;
        QTest::newRow("the value decides over the system")
            << QByteArray(1, 0) << true << int(MessageBoxService::Ignore) << true << false;
        QTest::newRow("offline, no value")
            << none << false << int(MessageBoxService::Abort) << false << true;
    }
    void skipIntroChecksTheConnection() {
        QFETCH(QByteArray, stored);
        QFETCH(bool, online);
        QFETCH(int, answer);
        QFETCH(bool, serverWindow);
        QFETCH(bool, ended);
        TestEnv env;
        installGame(env);
        if (!stored.isNull())
            env.settings->writeValue(RegistryRoot::LocalMachine, kRemoteAccessKey,
                                     "Remote Connection", SettingsStore::Type::Binary, stored);
        env.ctx.systemOnline = [online] { return std::optional<bool>(online); };
        if (answer)
            env.prompts.expect(MessageBoxService::Answer(answer));
        env.ctx.commandLine = "/SKIPINTRO";
        Startup startup(env.ctx);
        startup.run();
        QCOMPARE(env.prompts.count(), answer ? 1 : 0);
        QCOMPARE(env.prompts.unexpectedCount(), 0);
        QVERIFY(!startup.splash());
        QCOMPARE(WindowWatcher::countVisible("frmSelect"), serverWindow ? 1 : 0);
        QCOMPARE(env.programEnd.ended(), ended);
        QCOMPARE(ReadAppSetting(env.ctx, "loadss"), "1"); // the start went through before
    }

    // A kavro:// link on the command line is asked about before the server window opens, which
    // then lists the servers of the catalogue added (here the built-in list does not answer).
    void linkIsOfferedBeforeTheServerWindow() {
        TestEnv env;
        installGame(env);
        FakeHttpServer server;
        QVERIFY(server.listen());
        server.route("/src/sl.dat", FakeResponse::ok(CatalogueText::serverList(
                                        {{server.url("/one/"), "Kavro_CL.dat", "Source One"}})));
        env.settings->WriteSetting(RegistryRoot::CurrentUser, kAppKey, "serverlist",
                                   server.url("/builtin/sl.dat"));
        env.ctx.systemOnline = [] { return std::optional<bool>(true); };
        const QString address = server.url("/src/sl.dat");
        const QStringList arguments{"/skipintro",
                                    "kavro://add?url=" +
                                        QString::fromLatin1(QUrl::toPercentEncoding(address))};
        env.ctx.commandLine = CommandLine::switchText(arguments);
        env.ctx.links = CommandLine::links(arguments);
        env.prompts.expect(MessageBoxService::Yes);
        Startup startup(env.ctx);
        startup.run();
        QCOMPARE(env.prompts.count(), 1);
        QCOMPARE(env.prompts.last().text, "Add the catalogue " + address +
                                              " to Kavro?\r\n\r\nIt is a server list with 1 "
                                              "server.");
        auto* select = qobject_cast<frmSelect*>(WindowWatcher::find("frmSelect"));
        QVERIFY(select);
        QTRY_COMPARE(select->cboSites->count(), 1);
        QCOMPARE(select->cboSites->itemText(0), QStringLiteral("Source One"));
        QCOMPARE(select->lblStatus->text(), frmSelect::builtInSilentStatus());
        QCOMPARE(env.prompts.unexpectedCount(), 0);
    }

    void showLog_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("lines"); // -1: no log file
        QTest::addColumn<bool>("kept"); // the log is the copy a scheduled shutdown kept
        QTest::newRow("300 lines, lower case switch, /SERIAL too")
            << "/showlog /serial" << 300 << false;
        QTest::newRow("empty log") << "/SHOWLOG" << 0 << false;
        QTest::newRow("no log") << "/SHOWLOG" << -1 << false;
        QTest::newRow("after a shutdown") << "/showlog /runonce" << 3 << false;
        QTest::newRow("after a reboot emptied the work folder") << "/showlog /runonce" << 3 << true;
    }
    void showLog() {
        QFETCH(QString, line);
        QFETCH(int, lines);
        QFETCH(bool, kept);
        TestEnv env;
        installGame(env);
        // The entry a shutdown leaves for the next logon.
        env.settings->WriteSetting(RegistryRoot::CurrentUser, kRunOnceKey, RunOnceEntry::kValueName,
                                   "\"" KAVRO_BIN_DIR "/kavro\" /showlog /runonce");
        env.writeFile(RunOnceEntry::desktopFilePath(), "[Desktop Entry]\n");
        QString expected = Startup::showLogHeading() + "\n\n";
        if (lines >= 0) {
            QByteArray log;
            for (int i = 1; i <= lines; ++i) {
                const QByteArray l = "Car " + QByteArray::number(i) + "   :  caf\xe9  |  OK";
                log += l + "\r\n";
                expected += QString::fromLatin1(l) + "\n";
            }
            env.writeFile(kept ? RunOnceEntry::keptLogPath() : env.workDir() + "DOWNLOAD.LOG", log);
        }
        // Beside a running copy too: the log viewer never empties the work folder.
        QLockFile running(env.root() + "temp/Kavro.lock");
        QVERIFY(running.tryLock(0));
        const QString shown = runCapturingLog(env, line);
        QCOMPARE(shown, expected);
        QVERIFY(!QFileInfo::exists(RunOnceEntry::keptLogPath())); // shown once, then gone
        QCOMPARE(env.programEnd.endCount(), 1);
        QVERIFY(!WindowWatcher::find("frmSerial"));
        QVERIFY(!WindowWatcher::find("frmSplash"));
        QCOMPARE(env.prompts.count(), 0);
        // The log stays where it was: only a normal start empties the work folder.
        QCOMPARE(QFileInfo::exists(env.workDir() + "DOWNLOAD.LOG"), lines >= 0 && !kept);
        const bool runOnce = line.contains("runonce");
        QCOMPARE(env.settings->hasValue(RegistryRoot::CurrentUser, kRunOnceKey,
                                        RunOnceEntry::kValueName),
                 !runOnce);
        QCOMPARE(QFileInfo::exists(RunOnceEntry::desktopFilePath()), !runOnce);
    }

    // A session that ends while the one-time start shows its log keeps the entry and the kept
    // log for the next logon.
    void runOnceEntryStaysUntilTheLogWasShown() {
        TestEnv env;
        installGame(env);
        env.settings->WriteSetting(RegistryRoot::CurrentUser, kRunOnceKey, RunOnceEntry::kValueName,
                                   "\"" KAVRO_BIN_DIR "/kavro\" /showlog /runonce");
        env.writeFile(RunOnceEntry::keptLogPath(), "Car 1\r\n");
        env.ctx.commandLine = "/showlog /runonce";
        WindowWatcher::whenShown("frmLog", [&](QWidget* w) {
            env.programEnd.EndProgram();
            w->close();
        });
        Startup(env.ctx).run();
        QVERIFY(env.settings->hasValue(RegistryRoot::CurrentUser, kRunOnceKey,
                                       RunOnceEntry::kValueName));
        QVERIFY(QFileInfo::exists(RunOnceEntry::keptLogPath()));
    }

    void addresses_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("serverlist"); // the store's values; empty: none
        QTest::addColumn<QString>("ads");
        QTest::addColumn<QString>("serverListUrl");
        QTest::addColumn<QString>("adsUrl");
        const QString own = "https://cars.example.org/list/sl.dat";
        const QString ownAds = "https://cars.example.org/ads.htm";
        QTest::newRow("local server wins over the store")
            << "/LOCALHOST/SKIPINTRO" << own << ownAds << "http://127.0.0.1:9/lxd/sl.dat"
            << "http://127.0.0.1:9/ads.htm";
        QTest::newRow("the store's addresses") << "/SKIPINTRO" << own << ownAds << own << ownAds;
    }
    void addresses() {
        QFETCH(QString, line);
        QFETCH(QString, serverlist);
        QFETCH(QString, ads);
        QFETCH(QString, serverListUrl);
        QFETCH(QString, adsUrl);
        TestEnv env;
        installGame(env);
        env.settings->writeValue(RegistryRoot::LocalMachine, kRemoteAccessKey, "Remote Connection",
                                 SettingsStore::Type::Binary, "\x01");
        if (!serverlist.isEmpty())
            env.settings->WriteSetting(RegistryRoot::CurrentUser, kAppKey, "serverlist",
                                       serverlist);
        if (!ads.isEmpty())
            env.settings->WriteSetting(RegistryRoot::CurrentUser, kAppKey, "ads", ads);
        qputenv("KAVRO_LOCALHOST", "http://127.0.0.1:9");
        env.ctx.commandLine = line;
        Startup(env.ctx).run();
        QCOMPARE(env.session.SessionPaths[Session::ServerListURL], serverListUrl);
        QCOMPARE(env.session.SessionPaths[Session::AdsURL], adsUrl);
    }

    // --help and --version print and end with 0 before any window system is asked for (none is
    // reachable here), and leave the work folder and the store as they were.
    void helpAndVersionTouchNothing_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("text");
        QTest::newRow("--help") << QStringList{"/SKIPINTRO", "--help"}
                                << "Usage: kavro [/SKIPINTRO]";
        QTest::newRow("-h") << QStringList{"-h"} << "kavro://add?url=ADDRESS";
        QTest::newRow("--version") << QStringList{"--version"}
                                   << QString("kavro %1.%2.%3\n")
                                          .arg(KAVRO_VERSION_MAJOR)
                                          .arg(KAVRO_VERSION_MINOR)
                                          .arg(KAVRO_VERSION_REVISION);
    }
    void helpAndVersionTouchNothing() {
        QFETCH(QStringList, args);
        QFETCH(QString, text);
        TestEnv env;
        installGame(env);
        leaveJunk(env);
        const QStringList workBefore = TestFiles::filesBelow(env.workDir());
        const QByteArray storeBefore = readAll(env.settings->filePath());
        QProcess kavro;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        kavro.setProcessEnvironment(environment);
        kavro.start(KAVRO_BIN_DIR "/kavro", args);
        QVERIFY(kavro.waitForFinished(30000));
        QCOMPARE(kavro.exitStatus(), QProcess::NormalExit);
        QCOMPARE(kavro.exitCode(), 0);
        const QString out = QString::fromUtf8(kavro.readAllStandardOutput());
        QVERIFY2(out.contains(text), qPrintable(out));
        QCOMPARE(TestFiles::filesBelow(env.workDir()), workBefore);
        QCOMPARE(readAll(env.settings->filePath()), storeBefore);
    }

    // One Kavro per user: while it runs (here offscreen, with its own home and runtime folder), a
    // second start without arguments brings its window forward and a second start with a car ZIP
    // hands the ZIP over; both end with 0 at once, and the first installs the car through its
    // download window. An ending signal ends the first with 128 + the signal's number.
    void secondStartHandsItsWorkToTheRunningOne() {
        TestEnv env;
        installGame(env);
        const QString runtime = env.root() + "runtime";
        QVERIFY(QDir().mkpath(runtime));
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString zip = env.root() + "Aurora GT.zip";
        ZipBuilder().add("CAR.VIV", VivBuilder::carArchive(4)).write(zip);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_RUNTIME_DIR", runtime);
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        const auto start = [&](QProcess& p, const QStringList& args) {
            p.setProcessEnvironment(environment);
            p.start(KAVRO_BIN_DIR "/kavro", args);
        };
        QProcess first;
        QString said; // what the first says on standard error
        connect(&first, &QProcess::readyReadStandardError, this,
                [&] { said += QString::fromUtf8(first.readAllStandardError()); });
        start(first, {});
        // Its welcome window is up once the start is stamped in the store.
        QTRY_VERIFY_WITH_TIMEOUT(!ReadAppSetting(env.ctx, "lastopen").isEmpty(), 60000);
        QVERIFY(QFileInfo::exists(runtime + "/kavro/kavro.socket"));

        const auto second = [&](const QStringList& args) {
            QProcess p;
            start(p, args);
            QElapsedTimer timer;
            timer.start();
            const bool ended = p.waitForFinished(30000);
            qInfo("kavro %s ended after %lld ms", qPrintable(args.join(' ')), timer.elapsed());
            return ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        QCOMPARE(second({}), 0);
        QTRY_VERIFY2_WITH_TIMEOUT(said.contains("another start brought frmSplash forward"),
                                  qPrintable(said), 10000);

        QCOMPARE(second({zip}), 0);
        QTRY_VERIFY2_WITH_TIMEOUT(said.contains("handed over 1 car ZIP(s): " + zip),
                                  qPrintable(said), 10000);
        Session game;
        game.GamePath = env.gamePath();
        QTRY_COMPARE_WITH_TIMEOUT(CountInstalledCars(game), 1, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(
            readAll(env.workDir() + "DOWNLOAD.LOG").contains("ERRORS : (none)"), 30000);

        ::kill(pid_t(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 128 + SIGTERM);
    }
};

QTEST_MAIN(tst_Startup)
#include "tst_Startup.moc"
