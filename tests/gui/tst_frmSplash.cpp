#include "TestEnv.h"
#include "core/session/AppSettings.h"
#include "core/welcome/Credits.h"
#include "gui/frmSplash.h"

#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest/qtestspontaneevent.h>
#include <QtTest>

// The welcome window driven for real: layout, the banner, the scroll under the mouse and clicks,
// Continue and Exit.
class tst_frmSplash : public QObject {
    Q_OBJECT

    // One tick of the scroll timer, delivered at once.
    static void tick(frmSplash& w) { QMetaObject::invokeMethod(w.tmrx, "timeout"); }

    static QWidget* topLevel(const QString& name) {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == name)
                return w;
        return nullptr;
    }

    static void setDialUp(TestEnv& env, bool connected) {
        env.settings->writeValue(RegistryRoot::LocalMachine, AppSettings::kRemoteAccessKey,
                                 QStringLiteral("Remote Connection"), SettingsStore::Type::Binary,
                                 QByteArray(connected ? "\x01\0\0\0" : "\0\0\0\0", 4));
    }

private Q_SLOTS:
    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("frmSelect"))
                delete w;
    }

    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("Image1") << "Image1" << QRect(0, 0, 350, 100);
        QTest::newRow("Picture1") << "Picture1" << QRect(8, 100, 337, 93);
        QTest::newRow("lblver") << "lblver" << QRect(12, 208, 109, 14);
        QTest::newRow("cmdOK") << "cmdOK" << QRect(216, 200, 61, 25);
        QTest::newRow("cmdExit") << "cmdExit" << QRect(284, 200, 61, 25);
    }
    void layout() {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        TestEnv env;
        frmSplash w(env.ctx);
        QCOMPARE(w.objectName(), QStringLiteral("frmSplash"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Welcome to NFSHS Kavro"));
        QCOMPARE(w.minimumSize(), QSize(353, 231));
        QCOMPARE(w.maximumSize(), QSize(353, 231));
        auto* c = w.findChild<QWidget*>(name);
        QVERIFY(c);
        QCOMPARE(c->parentWidget(), &w);
        QCOMPARE(c->geometry(), rect);
    }

    void textsAndVersion() {
        TestEnv env;
        frmSplash w(env.ctx);
        QCOMPARE(w.cmdOK->text(), QStringLiteral("Continue"));
        QCOMPARE(w.cmdExit->text(), QStringLiteral("Exit"));
        // The version CMake gives the project.
        QCOMPARE(w.lblver->text(), QStringLiteral("Version %1.%2 Build %3")
                                       .arg(KAVRO_VERSION_MAJOR)
                                       .arg(KAVRO_VERSION_MINOR)
                                       .arg(KAVRO_VERSION_REVISION));
        QVERIFY(!w.lblver->text().contains(QLatin1String(" 0")));
        // The version fits its label in the window's type.
        QVERIFY(w.lblver->fontMetrics().horizontalAdvance(w.lblver->text()) <= w.lblver->width());
    }

    void bannerIsOurBitmap() {
        TestEnv env;
        frmSplash w(env.ctx);
        QCOMPARE(w.Image1->pixmap().size(), QSize(350, 100));
        // Stored as an uncompressed 24-bit Windows bitmap.
        QFile f(QStringLiteral(":/welcome/banner.bmp"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray b = f.readAll();
        QVERIFY(b.startsWith("BM"));
        QCOMPARE(qFromLittleEndian<qint32>(b.constData() + 18), 350);
        QCOMPARE(qFromLittleEndian<qint32>(b.constData() + 22), 100);
        QCOMPARE(qFromLittleEndian<quint16>(b.constData() + 28), quint16(24));
        QCOMPARE(qFromLittleEndian<quint32>(b.constData() + 30), 0u);
    }

    void creditsStripAtLoad() {
        TestEnv env;
        frmSplash w(env.ctx);
        QCOMPARE(w.lblcred->parentWidget(), w.picm);
        QVERIFY(w.Picture1->isAncestorOf(w.picm));
        QCOMPARE(w.lblcred->text().split(QLatin1Char('\n')), Credits::lines());
        QCOMPARE(w.lblcred->pos(), QPoint(0, 0));
        // The strip is the box's inside width and the text's height, and waits below the box.
        QCOMPARE(w.picm->width(), 333);
        QCOMPARE(w.lblcred->width(), 333);
        QCOMPARE(w.picm->height(), w.lblcred->height());
        QCOMPARE(w.picm->y(), 93);
        QCOMPARE(w.picm->parentWidget()->height(), 89);
        // Every line fits on one line of the label, and the label holds all of them.
        const QFontMetrics fm = w.lblcred->fontMetrics();
        for (const QString& line : Credits::lines())
            QVERIFY2(fm.horizontalAdvance(line) <= w.lblcred->width(), qPrintable(line));
        QVERIFY(w.lblcred->height() >= Credits::lines().size() * fm.lineSpacing());
        QCOMPARE(w.scroll().stripHeight(), w.picm->height() * 15);
        QVERIFY(w.tmrx->isActive());
        QCOMPARE(w.tmrx->interval(), 10);
    }

    void runsByItsOwnTimer() {
        TestEnv env;
        frmSplash w(env.ctx);
        w.show();
        QTRY_VERIFY(w.picm->y() < 80);
        QCOMPARE(w.picm->y(), frmSplash::toPixels(w.scroll().stripTop()));
    }

    void wholeCycleOnScreen() {
        TestEnv env;
        frmSplash w(env.ctx);
        w.show();
        int ticks = 0;
        while (w.tmrx->interval() == 10 && ticks < 10000) {
            tick(w);
            ++ticks;
        }
        // The end of the text has just passed the bottom of the box; it holds there for 5 s.
        const int endY = w.picm->y();
        QVERIFY(endY + w.picm->height() < 93);
        QVERIFY(endY + w.picm->height() >= 93 - 2);
        QVERIFY(w.tmrx->isActive());
        QCOMPARE(w.tmrx->interval(), 5000);
        tick(w);
        QVERIFY(!w.tmrx->isActive());
        QCOMPARE(w.picm->y(), endY);

        // A click on the credits box starts the text again from below.
        QTest::mouseClick(w.Picture1, Qt::LeftButton, {}, QPoint(1, 1));
        QVERIFY(w.tmrx->isActive());
        QCOMPARE(w.tmrx->interval(), 10);
        tick(w);
        QCOMPARE(w.picm->y(), 91);
    }

    void clicksOnTheCreditsToggle_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("text, text") << "lblcred"
                                    << "lblcred";
        QTest::newRow("box, strip") << "Picture1"
                                    << "picm";
    }
    void clicksOnTheCreditsToggle() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        TestEnv env;
        frmSplash w(env.ctx);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (int i = 0; i < 3; ++i)
            tick(w);
        const int y = w.picm->y();
        QTest::mouseClick(w.findChild<QWidget*>(first), Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(!w.tmrx->isActive());
        QTest::qWait(60);
        QCOMPARE(w.picm->y(), y);
        QTest::mouseClick(w.findChild<QWidget*>(second), Qt::LeftButton, {}, QPoint(2, 2));
        QVERIFY(w.tmrx->isActive());
        tick(w);
        QVERIFY(w.picm->y() < y);
        // Clicks elsewhere do not stop it.
        QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(3, 226));
        QTest::mouseClick(w.Image1, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseClick(w.Picture1, Qt::RightButton, {}, QPoint(2, 2));
        QVERIFY(w.tmrx->isActive());
    }

    void speedFollowsTheMouse() {
        TestEnv env;
        frmSplash w(env.ctx);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.scroll().speed(), 30);
        for (int i = 0; i < 20; ++i)
            tick(w);
        QVERIFY(w.picm->y() < 60);
        QTest::mouseMove(w.lblcred, QPoint(30, 5));
        QTRY_COMPARE(w.scroll().speed(), 20);
        // Over the banner or the buttons nothing changes...
        QTest::mouseMove(&w, QPoint(100, 50));
        QTest::mouseMove(&w, QPoint(240, 210));
        QTest::qWait(20);
        QCOMPARE(w.scroll().speed(), 20);
        // ...over the window's own background it is fast again.
        QTest::mouseMove(&w, QPoint(3, 226));
        QTRY_COMPARE(w.scroll().speed(), 30);
        QTest::mouseMove(w.Picture1, QPoint(1, 1));
        QTRY_COMPARE(w.scroll().speed(), 20);
        const qint32 before = w.scroll().offset();
        tick(w);
        QCOMPARE(w.scroll().offset(), before + 20);
    }

    void continueOpensTheServerWindowAndCloses() {
        TestEnv env;
        setDialUp(env, true);
        frmSplash w(env.ctx);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.cmdOK, Qt::LeftButton);
        QWidget* select = topLevel(QStringLiteral("frmSelect"));
        QVERIFY(select && select->isVisible());
        QVERIFY(!w.isVisible());
        QVERIFY(!w.tmrx->isActive());
        QVERIFY(!env.programEnd.ended());
        QCOMPARE(env.prompts.unexpectedCount(), 0);
    }

    void continueAbortedKeepsTheWindow() {
        TestEnv env;
        setDialUp(env, false);
        env.prompts.expect(MessageBoxService::Abort);
        frmSplash w(env.ctx);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.cmdOK, Qt::LeftButton);
        if (env.prompts.count() == 0)
            QSKIP("the connection check does not ask about the connection yet");
        QCOMPARE(env.prompts.last().title, QStringLiteral("Active Internet Connection"));
        QVERIFY(w.isVisible());
        QVERIFY(w.cmdOK->isEnabled());
        QVERIFY(w.tmrx->isActive());
        QVERIFY(!topLevel(QStringLiteral("frmSelect")));
    }

    void exitEndsTheProgram() {
        TestEnv env;
        frmSplash w(env.ctx);
        w.show();
        QTest::mouseClick(w.cmdExit, Qt::LeftButton);
        QCOMPARE(env.programEnd.endCount(), 1);
        QVERIFY(!topLevel(QStringLiteral("frmSelect")));
        QCOMPARE(env.prompts.count(), 0);
    }

    void titleBarCloseEndsTheProgram() {
        TestEnv env;
        frmSplash w(env.ctx);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // The close request of the title bar's close button comes from the window system.
        QCloseEvent e;
        QSpontaneKeyEvent::setSpontaneous(&e);
        qApp->notify(&w, &e);
        QCOMPARE(env.programEnd.endCount(), 1);
        QVERIFY(!w.tmrx->isActive());
        // A close from the program itself is no request to end.
        TestEnv env2;
        frmSplash w2(env2.ctx);
        w2.show();
        w2.close();
        QVERIFY(!env2.programEnd.ended());
    }
};

QTEST_MAIN(tst_frmSplash)
#include "tst_frmSplash.moc"
