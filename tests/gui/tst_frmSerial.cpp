#include "TestEnv.h"
#include "TestFiles.h"
#include "VivBuilder.h"
#include "core/session/WorkFolder.h"
#include "gui/frmSerial.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using TestFiles::readAll;

namespace {

QStringList items(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

// Notes what the window shows while a box of the scan is up (the check is running then).
class WatchingPrompts : public ScriptedPrompts {
public:
    frmSerial* window = nullptr;
    QStringList seen;
    Answer show(const QString& text, const QString& title, int style) override {
        if (window)
            seen.append(QString("%1 start:%2 exit:%3")
                            .arg(window->lblinfo->text())
                            .arg(window->cmdStart->isEnabled())
                            .arg(window->cmdExit->isEnabled()));
        return ScriptedPrompts::show(text, title, style);
    }
};

} // namespace

class tst_frmSerial : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void layoutAndTexts() {
        TestEnv env;
        frmSerial w(env.ctx);
        QCOMPARE(w.objectName(), QString("frmSerial"));
        QCOMPARE(w.windowTitle(), QString("NFSHS Kavro - Serial Number Conflit Fixer"));
        QCOMPARE(w.size(), QSize(310, 191));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QCOMPARE(w.font().family(), QString("Arial"));
        const struct {
            const char* name;
            QRect rect;
        } controls[] = {{"LblInfo1", {8, 8, 293, 45}},
                        {"lst1", {8, 64, 293, 88}},
                        {"cmdStart", {144, 160, 77, 21}},
                        {"cmdExit", {224, 160, 77, 21}}};
        for (const auto& c : controls) {
            auto* widget = w.findChild<QWidget*>(c.name);
            QVERIFY2(widget, c.name);
            QCOMPARE(widget->geometry(), c.rect);
        }
        QCOMPARE(w.lblinfo, w.findChild<QLabel*>("lblinfo"));
        QCOMPARE(w.lblinfo->pos(), QPoint(12, 164));
        QCOMPARE(w.LblInfo1->text(),
                 QString("Serial numbers confliting is a major problem in NFSHS. This program will "
                         "run a check on all the cars you have installed and fix any serial number "
                         "conflits if there are any."));
        QCOMPARE(w.cmdStart->text(), QString("Start"));
        QCOMPARE(w.cmdExit->text(), QString("Exit"));
        QVERIFY(w.lblinfo->text().isEmpty());
        QCOMPARE(w.lst1->count(), 0);
        QVERIFY(w.cmdStart->isEnabled() && w.cmdExit->isEnabled());
    }

    void startFixesTheConflictThenExitEnds() {
        TestEnv env;
        WatchingPrompts prompts;
        env.ctx.prompts = &prompts;
        QVERIFY(QDir(env.workDir()).removeRecursively()); // a "/SERIAL" start does not make it
        const QString aaaa =
            VivBuilder::installCar(env.gamePath(), "AAAA", VivBuilder::carArchive(5, "AAAA"));
        const QString bbbb =
            VivBuilder::installCar(env.gamePath(), "BBBB", VivBuilder::carArchive(5, "BBBB"));
        const QString cccc =
            VivBuilder::installCar(env.gamePath(), "CCCC", VivBuilder::carArchive(1, "CCCC"));
        VivBuilder::installCar(env.gamePath(), "DDDD", "BIGF broken");
        const QByteArray bBefore = readAll(bbbb), cBefore = readAll(cccc);

        frmSerial w(env.ctx);
        prompts.window = &w;
        w.show();
        prompts.expect(MessageBoxService::Ok);
        QTest::mouseClick(w.cmdStart, Qt::LeftButton);

        QCOMPARE(prompts.count(), 1);
        QCOMPARE(prompts.last().text, QString("There is a problem with the car [DDDD]. It has an "
                                              "invalid serial number. Please fix it!"));
        QCOMPARE(prompts.last().title, QString("Serial Number"));
        QCOMPARE(prompts.last().style, 0);
        QCOMPARE(prompts.seen, QStringList{"Please wait... working... start:0 exit:0"});
        QCOMPARE(items(w.lst1), QStringList{"AAAA had a conflit. SN changed from 5 to 2."});
        QVERIFY(w.lblinfo->text().isEmpty());
        QVERIFY(!w.cmdStart->isEnabled());
        QVERIFY(w.cmdExit->isEnabled());
        QCOMPARE(VivBuilder::serialsIn(readAll(aaaa)), (QList<int>{2, 2, 2, 2}));
        QCOMPARE(readAll(bbbb), bBefore);
        QCOMPARE(readAll(cccc), cBefore);
        QVERIFY(!env.programEnd.ended());

        QTest::mouseClick(w.cmdExit, Qt::LeftButton);
        QVERIFY(env.programEnd.ended());
        QCOMPARE(prompts.unexpectedCount(), 0);

        // A second run finds nothing to fix.
        ProgramEnd secondEnd(true);
        env.ctx.programEnd = &secondEnd;
        frmSerial again(env.ctx);
        prompts.window = &again;
        prompts.expect(MessageBoxService::Ok);
        QTest::keyClick(again.cmdStart, Qt::Key_Return); // Enter presses a button, as Space does
        QCOMPARE(items(again.lst1), QStringList{"No conflits found."});
        QCOMPARE(VivBuilder::serialsIn(readAll(aaaa)), (QList<int>{2, 2, 2, 2}));
        QCOMPARE(readAll(bbbb), bBefore);
        QCOMPARE(prompts.unexpectedCount(), 0);

        // While a running copy holds the work folder, Start changes nothing and names it.
        WorkFolder held(env.workDir());
        QVERIFY(held.lock());
        VivBuilder::installCar(env.gamePath(), "EEEE", VivBuilder::carArchive(5, "EEEE"));
        frmSerial blocked(env.ctx);
        prompts.window = &blocked;
        prompts.expect(MessageBoxService::Ok);
        QTest::mouseClick(blocked.cmdStart, Qt::LeftButton);
        QVERIFY2(prompts.last().text.contains("already running"), qPrintable(prompts.last().text));
        QVERIFY(blocked.cmdStart->isEnabled());
        QCOMPARE(items(blocked.lst1), QStringList());
        QCOMPARE(readAll(bbbb), bBefore);
    }

    void closingTheWindowEndsTheProgram() {
        TestEnv env;
        frmSerial w(env.ctx);
        w.show();
        QVERIFY(w.close());
        QCOMPARE(env.programEnd.endCount(), 1);
    }
};

QTEST_MAIN(tst_frmSerial)
#include "tst_frmSerial.moc"
