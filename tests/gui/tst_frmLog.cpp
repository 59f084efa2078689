#include "gui/frmLog.h"

#include "TestEnv.h"
#include "WindowWatcher.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

class tst_frmLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { WindowWatcher::closeAll(); }

    void windowLooksAsDesigned() {
        frmLog w;
        QCOMPARE(w.objectName(), "frmLog");
        QCOMPARE(w.windowTitle(), "NFSHS Kavro - Download Log");
        QCOMPARE(w.txtlog->objectName(), "txtlog");
        QCOMPARE(w.cmdOK->objectName(), "cmdOK");
        QCOMPARE(w.cmdOK->text(), "Exit");
        QVERIFY(w.txtlog->isReadOnly());
        QVERIFY(w.txtlog->textInteractionFlags() & Qt::TextSelectableByMouse);
        QCOMPARE(w.txtlog->font().pointSizeF(), 8.25);
        const QString family = QFontDatabase::families().contains("Courier New")
                                   ? QStringLiteral("Courier New")
                                   : QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
        QCOMPARE(w.txtlog->font().family(), family);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The text fills the window above the button; the button sits at the bottom right.
        const QRect text = w.txtlog->geometry();
        const QRect button = w.cmdOK->geometry();
        QCOMPARE(text.top(), 0);
        QCOMPARE(text.left(), 0);
        QVERIFY(text.bottom() < button.top());
        QVERIFY(w.width() - button.right() < 20);
        QVERIFY(w.height() - button.bottom() < 20);
    }

    void longLogScrollsAndKeepsColumns() {
        frmLog w;
        QString log;
        for (int i = 1; i <= 300; ++i)
            log += QStringLiteral("%1 | %2 | OK\r\n").arg(i, 4).arg("car", -12);
        w.setLogText(log);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.txtlog->document()->blockCount(), 301);
        QCOMPARE(w.txtlog->document()->findBlockByNumber(9).text(), "  10 | car          | OK");
        QVERIFY(w.txtlog->verticalScrollBar()->maximum() > 0);
        // Columns line up: same width for every character.
        const QFontMetrics m(w.txtlog->font());
        QCOMPARE(m.horizontalAdvance("iiii"), m.horizontalAdvance("WWWW"));
    }

    void closingEndsTheProgram_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Exit") << false;
        QTest::newRow("close box") << true;
    }
    void closingEndsTheProgram() {
        QFETCH(bool, closeBox);
        TestEnv env;
        bool endedWhileShown = true;
        WindowWatcher::whenShown("frmLog", [&](QWidget* w) {
            endedWhileShown = env.programEnd.ended();
            auto* log = static_cast<frmLog*>(w);
            if (closeBox)
                log->close();
            else
                log->cmdOK->click();
        });
        frmLog::showAndEnd(env.ctx, "line\r\n");
        QVERIFY(!endedWhileShown);
        QCOMPARE(env.programEnd.endCount(), 1);
    }
};

QTEST_MAIN(tst_frmLog)
#include "tst_frmLog.moc"
