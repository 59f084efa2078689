// "Find a car": which rows hold the text in their name or author, case and accents ignored.
#include "core/browser/CarFilter.h"

#include <QtTest>

class tst_CarFilter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fold_data();
    void fold();
    void rowsShown_data();
    void rowsShown();
    void typingOnAndBack();
};

void tst_CarFilter::fold_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("folded");
    QTest::newRow("case") << "McLaren F1 GTR"
                          << "mclaren f1 gtr";
    QTest::newRow("accents") << "Citroën Škoda Renault Mégane"
                             << "citroen skoda renault megane";
    QTest::newRow("decomposed input") << QStringLiteral("Cafe\u0301") << "cafe";
    QTest::newRow("letters without a decomposition") << "Ørsted Æther Œuvre Straße Łódź Đuro"
                                                     << "orsted aether oeuvre strasse lodz duro";
    QTest::newRow("white space") << "  Alfa \t Romeo\r\n"
                                 << "alfa romeo";
    QTest::newRow("control characters") << QStringLiteral("Lo\x01tus\x7f") << "lotus";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_CarFilter::fold() {
    QFETCH(QString, text);
    QFETCH(QString, folded);
    QCOMPARE(CarFilter::fold(text), folded);
}

void tst_CarFilter::rowsShown_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("shown");
    QTest::newRow("nothing typed") << "" << QList<int>{0, 1, 2, 3, 4};
    QTest::newRow("only spaces") << "   " << QList<int>{0, 1, 2, 3, 4};
    QTest::newRow("name, any case") << "LOTUS" << QList<int>{1, 2};
    QTest::newRow("author") << "smith" << QList<int>{2};
    QTest::newRow("accent typed, none in the name") << "Citroën" << QList<int>{3};
    QTest::newRow("no accent typed, one in the name") << "megane" << QList<int>{4};
    QTest::newRow("inside a word") << "ote" << QList<int>{};
    QTest::newRow("never across name and author") << "elise j" << QList<int>{};
    QTest::newRow("spaces as in the name") << "elise  " << QList<int>{1, 2};
    QTest::newRow("nothing holds it") << "zzq" << QList<int>{};
}

void tst_CarFilter::rowsShown() {
    QFETCH(QString, text);
    QFETCH(QList<int>, shown);
    CarFilter f;
    // Row 0 is never set (the catalogue's placeholder): it holds nothing.
    f.setRow(1, {"Lotus Elise", "Jo Tanaka"});
    f.setRow(2, {"Lotus Elise GT1", "Ann Smith"});
    f.setRow(3, {"Citroen Xsara", "N/A"});
    f.setRow(4, {QStringLiteral("Renault Mégane"), ""});
    f.setText(text);
    QList<int> got;
    for (int row = 0; row < 5; ++row)
        if (f.shows(row))
            got.append(row);
    QCOMPARE(got, shown);
    QCOMPARE(f.text(), text);
}

void tst_CarFilter::typingOnAndBack() {
    CarFilter f;
    f.setRow(0, {"Porsche 911", "Kai"});
    f.setRow(1, {"Porsche 959", "Lea"});
    f.setRow(2, {"Ferrari F50", "Kai"});
    // Typing on looks only at the rows still shown; going back looks at all of them again.
    for (const char* t : {"p", "po", "porsche 9", "porsche 95"})
        f.setText(QString::fromLatin1(t));
    QCOMPARE((QList<bool>{f.shows(0), f.shows(1), f.shows(2)}), (QList<bool>{false, true, false}));
    f.setText("kai");
    QCOMPARE((QList<bool>{f.shows(0), f.shows(1), f.shows(2)}), (QList<bool>{true, false, true}));
    // A row set while a text is typed is judged at once; rows beyond the last are not shown.
    f.setRow(3, {"Kaiser", ""});
    f.setRow(4, {"Lotus", ""});
    QVERIFY(f.shows(3));
    QVERIFY(!f.shows(4));
    QVERIFY(!f.shows(9));
    f.setText("");
    QVERIFY(f.shows(4) && f.shows(9));
    QVERIFY(!f.active());
}

QTEST_GUILESS_MAIN(tst_CarFilter)
#include "tst_CarFilter.moc"
