#include "PictureBytes.h"
#include "TestEnv.h"
#include "gui/frmSS.h"

#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QtTest>

class tst_frmSS : public QObject {
    Q_OBJECT

    // Writes the screenshot file as the preview names it; the viewer asks for "Kavro_ss.dat".
    static void writeShot(TestEnv& env, const QByteArray& bytes) {
        env.writeFile(env.workDir() + "Kavro_SS.dat", bytes);
    }

    // A mouse event on pic2 at a point given in viewport (pic1) pixels.
    static void mouseOnPicture(frmSS& v, QEvent::Type type, QPoint viewportPos,
                               Qt::MouseButton button, Qt::MouseButtons buttons) {
        const QPointF local = viewportPos - v.pic2->pos();
        QMouseEvent e(type, local, v.pic2->mapToGlobal(local), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(v.pic2, &e);
    }

private Q_SLOTS:
    void windowFrameAndPlace() {
        TestEnv env;
        writeShot(env, PictureBytes::encode(PictureBytes::quadrants(100, 50), "png"));
        QWidget owner;
        owner.setGeometry(200, 150, 381, 368);
        owner.show();
        frmSS v(env.ctx, &owner);
        QCOMPARE(v.objectName(), QStringLiteral("frmSS"));
        QCOMPARE(v.windowTitle(), QStringLiteral("Screen Shot"));
        QVERIFY(v.isModal());
        QVERIFY(v.windowFlags() & Qt::WindowMaximizeButtonHint);
        QVERIFY(!(v.windowFlags() & Qt::WindowMinimizeButtonHint));
        QCOMPARE(v.size(), QSize(412, 282));
        QVERIFY(v.minimumSize() != v.maximumSize()); // sizable
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        QVERIFY((v.geometry().center() - owner.geometry().center()).manhattanLength() <= 2);
        for (const char* name : {"pic1", "pic2", "HS", "VS"})
            QVERIFY2(v.findChild<QWidget*>(name), name);

        // An owner hanging off the screen's corner: the viewer stays on the screen.
        owner.move(-300, -250);
        frmSS corner(env.ctx, &owner);
        corner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&corner));
        const QRect avail = owner.screen()->availableGeometry();
        QCOMPARE(corner.frameGeometry().topLeft(), avail.topLeft());
    }

    void picturesShowAtTheirRealSize_data() {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("size");
        QTest::newRow("bmp") << QByteArray("bmp") << QSize(1000, 600);
        QTest::newRow("gif") << QByteArray("gif") << QSize(1000, 600);
        QTest::newRow("jpeg") << QByteArray("jpeg") << QSize(1000, 600);
        QTest::newRow("png") << QByteArray("png") << QSize(1000, 600);
        QTest::newRow("ico") << QByteArray("ico") << QSize(64, 48);
    }
    void picturesShowAtTheirRealSize() {
        QFETCH(QByteArray, format);
        QFETCH(QSize, size);
        TestEnv env;
        writeShot(env, PictureBytes::encode(PictureBytes::quadrants(size.width(), size.height()),
                                            format.constData()));
        frmSS v(env.ctx, nullptr);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        const QPixmap shown = v.pic2->pixmap();
        QCOMPARE(shown.size(), size);
        QCOMPARE(v.pic2->size(), size);
        const QImage img = shown.toImage();
        QVERIFY(PictureBytes::near(img.pixelColor(5, 5), Qt::red));
        QVERIFY(PictureBytes::near(img.pixelColor(size.width() - 5, size.height() - 5), Qt::white));
        QVERIFY(v.pic2->parentWidget() == v.pic1); // clipped by the viewport
    }

    void missingOrUnreadableFileGivesAnEmptyViewer_data() {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("missing") << false << QByteArray();
        QTest::newRow("empty") << true << QByteArray("");
        QTest::newRow("html error page") << true << QByteArray("<html>404 Not Found</html>");
        QTest::newRow("cut png")
            << true << PictureBytes::encode(PictureBytes::quadrants(200, 200), "png").left(40);
    }
    void missingOrUnreadableFileGivesAnEmptyViewer() {
        QFETCH(bool, exists);
        QFETCH(QByteArray, bytes);
        TestEnv env;
        if (exists)
            writeShot(env, bytes);
        frmSS v(env.ctx, nullptr);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        QVERIFY(v.pic2->pixmap().isNull());
        QVERIFY(!v.HS->isEnabled());
        QVERIFY(!v.VS->isEnabled());
        QCOMPARE(v.HS->maximum(), 0);
        QCOMPARE(v.VS->maximum(), 0);
    }

    // 1000 x 600 in a 395 x 264 viewport: 60.5 -> 61 units across, 33.6 -> 34 down
    // (rounded up: the last pixel columns can be reached).
    void barsScrollAndResizeRelayout() {
        TestEnv env;
        writeShot(env, PictureBytes::encode(PictureBytes::quadrants(1000, 600), "png"));
        frmSS v(env.ctx, nullptr);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        QCOMPARE(v.pic1->geometry(), QRect(0, 0, 395, 264));
        QCOMPARE(v.VS->geometry(), QRect(395, 0, 17, 264));
        QCOMPARE(v.HS->geometry(), QRect(0, 264, 395, 17));
        QVERIFY(v.HS->isEnabled());
        QVERIFY(v.VS->isEnabled());
        QCOMPARE(v.HS->maximum(), 61);
        QCOMPARE(v.VS->maximum(), 34);

        v.HS->setValue(61);
        v.VS->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(v.pic2->pos(), QPoint(-610, -10));

        // Wider, still too narrow: the maximum drops below the position and takes it along.
        v.resize(712, 282); // viewport 695: 30.5 -> 31
        QTRY_COMPARE(v.HS->maximum(), 31);
        QCOMPARE(v.HS->value(), 31);
        QCOMPARE(v.pic2->x(), -310);
        // Wide and tall enough: both bars off at 0, the picture centred.
        v.resize(1117, 700);
        QTRY_VERIFY(!v.HS->isEnabled());
        QVERIFY(!v.VS->isEnabled());
        QCOMPARE(v.HS->value(), 0);
        QCOMPARE(v.VS->value(), 0);
        QCOMPARE(v.pic1->size(), QSize(1100, 682));
        QCOMPARE(v.pic2->pos(), QPoint(50, 41));
        // Smaller again: the centred picture goes back to the top left, bars on at 0.
        v.resize(412, 282);
        QTRY_VERIFY(v.HS->isEnabled());
        QCOMPARE(v.HS->value(), 0);
        QCOMPARE(v.pic2->pos(), QPoint(0, 0));
    }

    void dragPansOneUnitPerMove() {
        TestEnv env;
        writeShot(env, PictureBytes::encode(PictureBytes::quadrants(1000, 600), "png"));
        frmSS v(env.ctx, nullptr);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));

        // Moving without a button pressed does nothing.
        mouseOnPicture(v, QEvent::MouseMove, {100, 100}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(v.HS->value(), 0);
        QCOMPARE(v.pic1->cursor().shape(), Qt::ArrowCursor);

        // Press and release without movement scrolls nothing.
        mouseOnPicture(v, QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
        QVERIFY(v.Dragging());
        mouseOnPicture(v, QEvent::MouseButtonRelease, {100, 100}, Qt::LeftButton, Qt::NoButton);
        QVERIFY(!v.Dragging());
        QCOMPARE(v.pic2->pos(), QPoint(0, 0));

        // A long drag to the right and down in one move: one unit each way.
        mouseOnPicture(v, QEvent::MouseButtonPress, {100, 100}, Qt::RightButton, Qt::RightButton);
        mouseOnPicture(v, QEvent::MouseMove, {390, 250}, Qt::NoButton, Qt::RightButton);
        QCOMPARE(v.HS->value(), 1);
        QCOMPARE(v.VS->value(), 1);
        QCOMPARE(v.pic2->pos(), QPoint(-10, -10));
        QCOMPARE(v.pic1->cursor().shape(), Qt::SizeAllCursor);
        QCOMPARE(v.pic2->cursor().shape(), Qt::SizeAllCursor);
        // The pointer keeps going right; it comes back up: one unit right, one unit up.
        mouseOnPicture(v, QEvent::MouseMove, {391, 200}, Qt::NoButton, Qt::RightButton);
        QCOMPARE(v.HS->value(), 2);
        QCOMPARE(v.VS->value(), 0);
        // Over the bare viewport too.
        QMouseEvent move(QEvent::MouseMove, QPointF(392, 200),
                         v.pic1->mapToGlobal(QPointF(392, 200)), Qt::NoButton, Qt::RightButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(v.pic1, &move);
        QCOMPARE(v.HS->value(), 3);
        QCOMPARE(v.pic2->x(), -30);
        mouseOnPicture(v, QEvent::MouseButtonRelease, {392, 200}, Qt::RightButton, Qt::NoButton);
        QCOMPARE(v.pic1->cursor().shape(), Qt::ArrowCursor);
        mouseOnPicture(v, QEvent::MouseMove, {10, 10}, Qt::NoButton, Qt::NoButton);
        QCOMPARE(v.HS->value(), 3);
    }

    void smallPictureIsCentredAndDoesNotPan() {
        TestEnv env;
        writeShot(env, PictureBytes::encode(PictureBytes::quadrants(101, 50), "bmp"));
        frmSS v(env.ctx, nullptr);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        QVERIFY(!v.HS->isEnabled());
        QVERIFY(!v.VS->isEnabled());
        QCOMPARE(v.pic2->pos(), QPoint(147, 107));
        mouseOnPicture(v, QEvent::MouseButtonPress, {150, 110}, Qt::LeftButton, Qt::LeftButton);
        mouseOnPicture(v, QEvent::MouseMove, {300, 250}, Qt::NoButton, Qt::LeftButton);
        mouseOnPicture(v, QEvent::MouseMove, {10, 10}, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(v.pic2->pos(), QPoint(147, 107));
    }
};

QTEST_MAIN(tst_frmSS)
#include "tst_frmSS.moc"
