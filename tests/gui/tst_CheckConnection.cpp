#include "gui/CheckConnection.h"

#include "TestEnv.h"
#include "WindowWatcher.h"
#include "core/session/AppSettings.h"

#include <QtTest>

namespace {
const QString kText = QStringLiteral(
    "Unable to find an active internet connection. Please make sure you are connected to the "
    "internet.\r\n\r\nIf you are connected and you still get this error message, click on Ignore "
    "to continue.");

// Answers from the script and brings the dial-up link up after the box number linkAfter.
class LinkComingUp : public ScriptedPrompts {
public:
    LinkComingUp(TestEnv& env, int linkAfter) : m_env(env), m_linkAfter(linkAfter) {}
    Answer show(const QString& text, const QString& title, int style) override {
        const Answer a = ScriptedPrompts::show(text, title, style);
        if (count() == m_linkAfter)
            m_env.writeFile(m_env.ctx.netClassFolder + "/ppp0/flags", "0x1091\n");
        return a;
    }

private:
    TestEnv& m_env;
    int m_linkAfter;
};
} // namespace

class tst_CheckConnection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { WindowWatcher::closeAll(); }

    void answers_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<int>("linkAfter"); // the link comes up after this box (0: never)
        QTest::addColumn<bool>("result");
        QTest::addColumn<bool>("ended");
        QTest::addColumn<int>("system"); // the system's answer: 1 online, 0 offline, -1 none
        using M = MessageBoxService;
        QTest::newRow("link up: no box") << "" << QList<int>{} << -1 << true << false << -1;
        QTest::newRow("Ignore") << "" << QList<int>{M::Ignore} << 0 << true << false << -1;
        QTest::newRow("Abort under the welcome window")
            << "" << QList<int>{M::Abort} << 0 << false << false << -1;
        QTest::newRow("Abort under /SKIPINTRO")
            << "/skipintro" << QList<int>{M::Abort} << 0 << false << true << -1;
        QTest::newRow("Retry twice, then Ignore")
            << "" << QList<int>{M::Retry, M::Retry, M::Ignore} << 0 << true << false << -1;
        QTest::newRow("Retry finds the link")
            << "" << QList<int>{M::Retry} << 1 << true << false << -1;
        QTest::newRow("the system says online: no box")
            << "/skipintro" << QList<int>{} << 0 << true << false << 1;
        QTest::newRow("the system says offline, Abort")
            << "/skipintro" << QList<int>{M::Abort} << 0 << false << true << 0;
    }
    void answers() {
        QFETCH(QString, line);
        QFETCH(QList<int>, answers);
        QFETCH(int, linkAfter);
        QFETCH(bool, result);
        QFETCH(bool, ended);
        QFETCH(int, system);
        TestEnv env;
        if (system >= 0)
            env.ctx.systemOnline = [system] { return std::optional<bool>(system == 1); };
        LinkComingUp prompts(env, linkAfter);
        env.ctx.prompts = &prompts;
        env.ctx.commandLine = line;
        if (linkAfter < 0)
            env.writeFile(env.ctx.netClassFolder + "/ppp0/flags", "0x1091\n");
        for (int a : answers)
            prompts.expect(MessageBoxService::Answer(a));

        QCOMPARE(CheckConnection(env.ctx), result);

        QCOMPARE(prompts.count(), int(answers.size()));
        QCOMPARE(prompts.unexpectedCount(), 0);
        for (const auto& box : prompts.boxes()) {
            QCOMPARE(box.title, "Active Internet Connection");
            QCOMPARE(box.text, kText);
            QCOMPARE(box.style, 306);
        }
        QCOMPARE(WindowWatcher::countVisible("frmSelect"), result ? 1 : 0);
        QCOMPARE(env.programEnd.ended(), ended);
    }
};

QTEST_MAIN(tst_CheckConnection)
#include "tst_CheckConnection.moc"
