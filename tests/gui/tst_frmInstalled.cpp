#include "TestEnv.h"
#include "VivBuilder.h"
#include "WindowWatcher.h"
#include "gui/frmInstalled.h"
#include "gui/frmSerial.h"

#include <QDir>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

// Each row as "id|name|serial|remarks".
QStringList rows(const frmInstalled& w) {
    QStringList out;
    for (int i = 0; i < w.lstInstalled->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = w.lstInstalled->topLevelItem(i);
        out << QStringList{row->text(0), row->text(1), row->text(2), row->text(3)}.join(u'|');
    }
    return out;
}

void select(frmInstalled& w, const QStringList& ids) {
    for (int i = 0; i < w.lstInstalled->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = w.lstInstalled->topLevelItem(i);
        row->setSelected(ids.contains(row->text(0)));
    }
}

} // namespace

class tst_frmInstalled : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listsMarksAndActsOnTheSelection() {
        TestEnv env;
        const QString cars = env.gamePath() + "Data/Cars/";
        VivBuilder::installCar(env.gamePath(), "AAAA", VivBuilder::carArchive(5, "AAAA"));
        env.writeFile(cars + "AAAA/ID.TXT", "Alpha GT\r\n");
        VivBuilder::installCar(env.gamePath(), "BBBB", VivBuilder::carArchive(5, "BBBB"));
        VivBuilder::installCar(env.gamePath(), "CCCC", VivBuilder::carArchive(1, "CCCC"));
        VivBuilder::installCar(env.gamePath(), "DDDD", "not an archive");
        frmInstalled w(env.ctx);
        w.show();
        QCOMPARE(rows(w), QStringList({"AAAA|Alpha GT|5|shares its serial number with BBBB",
                                       "BBBB||5|shares its serial number with AAAA", "CCCC||1|",
                                       "DDDD|||invalid archive"}));

        // Enter opens the folder of the one car selected; with two, only Remove works.
        select(w, {"CCCC"});
        QTest::keyClick(w.lstInstalled, Qt::Key_Return);
        QCOMPARE(env.actions.calls, QStringList{"folder " + cars + "CCCC"});
        // A desktop without a file manager: a box says so, naming the folder.
        env.actions.noFileManager = true;
        env.prompts.expect(MessageBoxService::Ok);
        QTest::mouseClick(w.cmdOpen, Qt::LeftButton);
        QCOMPARE(env.prompts.last().text, frmInstalled::noFileManager(cars + "CCCC"));
        QCOMPARE(env.prompts.last().style, 48);
        env.actions.noFileManager = false;
        select(w, {"CCCC", "DDDD"});
        QVERIFY(w.cmdRemove->isEnabled());
        QVERIFY(!w.cmdOpen->isEnabled());

        // One question names the cars; No keeps them, Yes removes them and the list is read again.
        env.prompts.expect(MessageBoxService::No);
        QTest::keyClick(w.lstInstalled, Qt::Key_Delete);
        QVERIFY(env.prompts.last().text.contains("\r\nCCCC  \r\nDDDD  "));
        QCOMPARE(rows(w).size(), 4);
        env.prompts.expect(MessageBoxService::Yes);
        QTest::mouseClick(w.cmdRemove, Qt::LeftButton);
        QCOMPARE(QDir(cars).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList({"AAAA", "BBBB"}));
        QCOMPARE(rows(w).size(), 2);

        // The fixer opens over the window; its Exit only closes it, and the marks are gone.
        QStringList fixed;
        WindowWatcher::whenShown("frmSerial", [&](QWidget* f) {
            auto* fixer = static_cast<frmSerial*>(f);
            QTest::mouseClick(fixer->cmdStart, Qt::LeftButton);
            fixed << fixer->lst1->item(0)->text();
            QTest::mouseClick(fixer->cmdExit, Qt::LeftButton);
        });
        QTest::mouseClick(w.cmdFix, Qt::LeftButton);
        QCOMPARE(fixed, QStringList{"AAAA had a conflit. SN changed from 5 to 1."});
        QCOMPARE(rows(w), QStringList({"AAAA|Alpha GT|1|", "BBBB||5|"}));
        QVERIFY(!env.programEnd.ended());

        QTest::keyClick(w.lstInstalled, Qt::Key_Escape);
        QVERIFY(!w.isVisible());
        QCOMPARE(env.prompts.unexpectedCount(), 0);
    }
};

QTEST_MAIN(tst_frmInstalled)
#include "tst_frmInstalled.moc"
