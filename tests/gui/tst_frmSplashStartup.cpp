#include "TestEnv.h"
#include "VivBuilder.h"
#include "WindowWatcher.h"
#include "core/gamedata/CarSerials.h"
#include "core/session/AppSettings.h"
#include "gui/Startup.h"
#include "gui/frmSplash.h"

#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

// What the welcome window looked like whenever the installed-car scan had something to say.
class WatchingPrompts : public ScriptedPrompts {
public:
    struct Seen {
        bool visible = false;
        bool continueEnabled = true;
        bool exitEnabled = false;
    };
    Answer show(const QString& text, const QString& title, int style) override {
        Seen s;
        if (auto* w = qobject_cast<frmSplash*>(WindowWatcher::find(QStringLiteral("frmSplash")))) {
            s.visible = w->isVisible();
            s.continueEnabled = w->cmdOK->isEnabled();
            s.exitEnabled = w->cmdExit->isEnabled();
        }
        seen.append(s);
        return ScriptedPrompts::show(text, title, style);
    }
    QList<Seen> seen;
};

} // namespace

// A normal start on a game with 50 installed cars: the welcome window shows at once with Continue
// disabled, stays so while the cars are scanned, and Continue leads on to the server window.
class tst_frmSplashStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void continueWaitsForTheScanOfFiftyCars() {
        TestEnv env;
        QString game = env.gamePath();
        game.chop(1);
        env.settings->WriteSetting(RegistryRoot::LocalMachine, AppSettings::kGameKey,
                                   QStringLiteral("InstallPath"), game);
        env.settings->writeValue(RegistryRoot::LocalMachine, AppSettings::kRemoteAccessKey,
                                 QStringLiteral("Remote Connection"), SettingsStore::Type::Binary,
                                 QByteArray("\x01\0\0\0", 4));
        // The server window must not reach out: its list comes from a loopback port nobody
        // listens on.
        qputenv("KAVRO_LOCALHOST", "http://127.0.0.1:9");
        env.ctx.commandLine = QStringLiteral("kavro /LOCALHOST");

        // 50 cars; the first, the 25th and the last have broken archives, so the scan speaks up
        // at its start, in its middle and at its end.
        QList<int> expected;
        for (int i = 1; i <= 50; ++i) {
            const QByteArray id = QStringLiteral("C%1").arg(i, 3, 10, QLatin1Char('0')).toLatin1();
            const bool broken = i == 1 || i == 25 || i == 50;
            VivBuilder::installCar(env.gamePath(), QString::fromLatin1(id),
                                   broken ? QByteArray("not an archive")
                                          : VivBuilder::carArchive(quint8(i), id));
            expected << (broken ? 0 : i);
        }

        WatchingPrompts prompts;
        prompts.setAutoOk(true);
        env.ctx.prompts = &prompts;
        Startup startup(env.ctx);
        startup.run();

        QCOMPARE(prompts.count(), 3);
        for (const auto& box : prompts.boxes())
            QCOMPARE(box.title, kInvalidSerialTitle);
        for (const auto& s : prompts.seen) {
            QVERIFY(s.visible);
            QVERIFY(!s.continueEnabled);
            QVERIFY(s.exitEnabled);
        }
        QCOMPARE(prompts.unexpectedCount(), 0);

        // The scan is complete and Continue is enabled; the credits are running.
        QCOMPARE(env.session.installedCount(), 50);
        QCOMPARE(env.session.InstalledSerials.mid(1),
                 QList<qint16>(expected.cbegin(), expected.cend()));
        frmSplash* splash = startup.splash();
        QVERIFY(splash);
        QCOMPARE(WindowWatcher::countVisible(QStringLiteral("frmSplash")), 1);
        QVERIFY(splash->cmdOK->isEnabled());
        QVERIFY(splash->tmrx->isActive());
        QVERIFY(!WindowWatcher::find(QStringLiteral("frmSelect")));

        QTest::mouseClick(splash->cmdOK, Qt::LeftButton);
        QWidget* select = WindowWatcher::find(QStringLiteral("frmSelect"));
        QVERIFY(select && select->isVisible());
        QVERIFY(!splash->isVisible());
        QVERIFY(!env.programEnd.ended());
        delete select;
        delete splash;
    }
};

QTEST_MAIN(tst_frmSplashStartup)
#include "tst_frmSplashStartup.moc"
