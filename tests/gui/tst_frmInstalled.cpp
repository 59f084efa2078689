#include "TestEnv.h"
#include "VivBuilder.h"
#include "WindowWatcher.h"
#include "core/gamedata/CarSets.h"
#include "core/gamedata/Garage.h"
#include "gui/frmInstalled.h"
#include "gui/frmSerial.h"

#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

enum Column { Id, Name, Place, Serial, Remarks };

// Each row as "id|name|serial|remarks"; with where, "id|where|serial".
QStringList rows(const frmInstalled& w, bool where = false) {
    QStringList out;
    for (int i = 0; i < w.lstInstalled->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = w.lstInstalled->topLevelItem(i);
        if (row->isHidden())
            continue;
        out << (where ? QStringList{row->text(Id), row->text(Place), row->text(Serial)}
                      : QStringList{row->text(Id), row->text(Name), row->text(Serial),
                                    row->text(Remarks)})
                   .join(u'|');
    }
    return out;
}

void clickHeader(frmInstalled& w, int column) {
    QHeaderView* header = w.lstInstalled->header();
    const QPoint at(header->sectionViewportPosition(column) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
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

    // Parked cars beside the game's, Park / Return, the count, sorting, the find field, sets.
    void garageAndSets() {
        TestEnv env;
        const QList<QPair<QString, quint8>> cars{
            {"AAAA", 1}, {"BBBB", 2}, {"CCCC", 12}, {"DDDD", 5}};
        for (const auto& [id, serial] : cars) {
            VivBuilder::installCar(env.gamePath(), id,
                                   VivBuilder::carArchive(serial, id.toLatin1()));
            env.writeFile(env.gamePath() + "Data/Cars/" + id + "/ID.TXT", "Car " + id.toLatin1());
        }
        QVERIFY(Garage(env.session).park({"DDDD"}).ok);
        frmInstalled w(env.ctx);
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(rows(w, true), QStringList({"AAAA|In the game|1", "BBBB|In the game|2",
                                             "CCCC|In the game|12", "DDDD|Parked|5"}));
        QCOMPARE(w.lblCount->text(), QStringLiteral("3 of 50 cars in the game"));

        // Serial numbers sort as numbers; a third click brings the game's order back.
        clickHeader(w, Serial);
        QCOMPARE(rows(w, true).join(' '),
                 QStringLiteral("AAAA|In the game|1 BBBB|In the game|2 DDDD|Parked|5 "
                                "CCCC|In the game|12"));
        clickHeader(w, Serial);
        QCOMPARE(rows(w, true).first(), QStringLiteral("CCCC|In the game|12"));
        clickHeader(w, Serial);
        QCOMPARE(rows(w, true).last(), QStringLiteral("DDDD|Parked|5"));

        // Park for cars in the game, Return for parked ones, neither for both.
        select(w, {"AAAA", "BBBB"});
        QCOMPARE(w.cmdPark->text(), QStringLiteral("Park"));
        QTest::mouseClick(w.cmdPark, Qt::LeftButton);
        QCOMPARE(w.lblCount->text(), QStringLiteral("1 of 50 cars in the game"));
        QVERIFY(!QDir(env.gamePath() + "Data/Cars/AAAA").exists());
        select(w, {"AAAA", "DDDD"});
        QCOMPARE(w.cmdPark->text(), QStringLiteral("Return"));
        select(w, {"AAAA", "CCCC"});
        QVERIFY(!w.cmdPark->isEnabled());

        // The set of the cars in the game now: CCCC alone.
        w.askText = [](const QString&, const QString& label, const QString&) {
            return label.contains(" 1 cars ") ? QStringLiteral("Solo") : QString();
        };
        QTest::mouseClick(w.cmdSaveSet, Qt::LeftButton);
        QCOMPARE(w.lstSets->count(), 1);
        QCOMPARE(w.lstSets->item(0)->text(), QStringLiteral("Solo"));
        select(w, {"AAAA", "BBBB", "DDDD"});
        QTest::mouseClick(w.cmdPark, Qt::LeftButton);
        QCOMPARE(w.lblCount->text(), QStringLiteral("4 of 50 cars in the game"));

        // The find field keeps the rows holding the text; what it hides is neither selected nor
        // moved. Escape empties it first, and only then closes the window.
        select(w, {"AAAA", "BBBB"});
        QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
        QTest::keyClicks(w.txtFind, "car b");
        QCOMPARE(rows(w, true), QStringList{"BBBB|In the game|2"});
        QCOMPARE(w.selectedIds(), QStringList{"BBBB"});
        QTest::keyClick(w.txtFind, Qt::Key_Escape);
        QVERIFY(w.isVisible());
        QCOMPARE(rows(w).size(), 4);

        // Using the set parks every other car; the set's car stays in the game.
        w.lstSets->setCurrentRow(0);
        QTest::mouseClick(w.cmdUseSet, Qt::LeftButton);
        QCOMPARE(rows(w, true), QStringList({"CCCC|In the game|12", "AAAA|Parked|1",
                                             "BBBB|Parked|2", "DDDD|Parked|5"}));
        QCOMPARE(w.lblCount->text(), QStringLiteral("1 of 50 cars in the game"));

        // Delete asks; Yes forgets the set, the cars stay where they are.
        env.prompts.expect(MessageBoxService::Yes);
        w.lstSets->setCurrentRow(0);
        QTest::mouseClick(w.cmdDeleteSet, Qt::LeftButton);
        QCOMPARE(w.lstSets->count(), 0);
        QVERIFY(CarSets(env.gamePath()).names().isEmpty());
        QCOMPARE(w.lblCount->text(), QStringLiteral("1 of 50 cars in the game"));
        QCOMPARE(env.prompts.unexpectedCount(), 0);
    }
};

QTEST_MAIN(tst_frmInstalled)
#include "tst_frmInstalled.moc"
