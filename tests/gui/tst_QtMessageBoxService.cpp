#include "gui/QtMessageBoxService.h"

#include "WindowWatcher.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

class tst_QtMessageBoxService : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { WindowWatcher::closeAll(); }

    void styles_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QList<int>>("buttons"); // standard buttons in the design's order
        QTest::addColumn<int>("defaultButton");
        QTest::addColumn<int>("click");
        QTest::addColumn<int>("answer");
        using B = QMessageBox;
        using A = MessageBoxService;
        QTest::newRow("0 plain OK")
            << 0 << int(B::NoIcon) << QList<int>{B::Ok} << int(B::Ok) << int(B::Ok) << int(A::Ok);
        QTest::newRow("4 Yes/No") << 4 << int(B::NoIcon) << QList<int>{B::Yes, B::No} << int(B::Yes)
                                  << int(B::No) << int(A::No);
        QTest::newRow("16 critical") << 16 << int(B::Critical) << QList<int>{B::Ok} << int(B::Ok)
                                     << int(B::Ok) << int(A::Ok);
        QTest::newRow("36 question Yes/No") << 36 << int(B::Question) << QList<int>{B::Yes, B::No}
                                            << int(B::Yes) << int(B::Yes) << int(A::Yes);
        QTest::newRow("48 exclamation")
            << 48 << int(B::Warning) << QList<int>{B::Ok} << int(B::Ok) << int(B::Ok) << int(A::Ok);
        QTest::newRow("306 Abort/Retry/Ignore, Retry default")
            << 306 << int(B::Warning) << QList<int>{B::Abort, B::Retry, B::Ignore} << int(B::Retry)
            << int(B::Ignore) << int(A::Ignore);
    }
    void styles() {
        QFETCH(int, style);
        QFETCH(int, icon);
        QFETCH(QList<int>, buttons);
        QFETCH(int, defaultButton);
        QFETCH(int, click);
        QFETCH(int, answer);
        int seenIcon = -1, seenDefault = -1;
        QList<int> seenButtons;
        QString seenText, seenTitle;
        WindowWatcher::whenShown("messageBox", [&](QWidget* w) {
            auto* box = static_cast<QMessageBox*>(w);
            seenIcon = box->icon();
            seenTitle = box->windowTitle();
            seenText = box->text();
            for (QAbstractButton* b : box->buttons())
                seenButtons.append(box->standardButton(b));
            seenDefault = box->standardButton(box->defaultButton());
            box->button(QMessageBox::StandardButton(click))->click();
        });
        QtMessageBoxService service;
        const auto result =
            service.show("first\r\n\r\nsecond <b>", style == 0 ? "" : "Title", style);
        QCOMPARE(int(result), answer);
        QCOMPARE(seenIcon, icon);
        std::sort(seenButtons.begin(), seenButtons.end());
        std::sort(buttons.begin(), buttons.end());
        QCOMPARE(seenButtons, buttons);
        QCOMPARE(seenDefault, defaultButton);
        QCOMPARE(seenText, "first\n\nsecond <b>");
        QCOMPARE(seenTitle, style == 0 ? MessageBoxService::applicationTitle() : "Title");
    }

    void lineBreaks_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("CR LF") << "a\r\nb"
                               << "a\nb";
        QTest::newRow("lone CR") << "a\rb\r\rc"
                                 << "a\nb\n\nc";
        QTest::newRow("CR before CR LF") << "a\r\r\nb"
                                         << "a\n\nb";
    }
    void lineBreaks() {
        QFETCH(QString, text);
        QString seen;
        WindowWatcher::whenShown("messageBox", [&](QWidget* w) {
            auto* box = static_cast<QMessageBox*>(w);
            seen = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        QtMessageBoxService().show(text, "Title", 0);
        QTEST(seen, "shown");
    }
};

QTEST_MAIN(tst_QtMessageBoxService)
#include "tst_QtMessageBoxService.moc"
