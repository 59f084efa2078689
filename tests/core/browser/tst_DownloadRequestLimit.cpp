// The decisions of "Download and Install Cars": the limit and which entries are handed over.
#include "core/browser/DownloadSelection.h"

#include <QtTest>

using namespace DownloadSelection;

class tst_DownloadRequestLimit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void limit_data();
    void limit();
    void selectionKeepsListOrder();
    void messages();
};

void tst_DownloadRequestLimit::limit_data() {
    QTest::addColumn<int>("installed");
    QTest::addColumn<int>("ticked");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("ending");
    QTest::newRow("40 + 10 passes") << 40 << 10 << false << "";
    QTest::newRow("40 + 11") << 40 << 11 << true
                             << "You have to deselect 1 cars out of the 11 you selected, because "
                                "you already have 40 cars installed.";
    QTest::newRow("43 + 10") << 43 << 10 << true
                             << "You have to deselect 3 cars out of the 10 you selected, because "
                                "you already have 43 cars installed.";
    QTest::newRow("45 + 6 with announcements")
        << 45 << 6 << true
        << "You have to deselect 1 cars out of the 6 you selected, because you already have 45 "
           "cars installed.";
    QTest::newRow("0 + 50 passes") << 0 << 50 << false << "";
    QTest::newRow("over the limit already") << 52 << 1 << true
                                            << "You have to deselect 3 cars out of the 1 you "
                                               "selected, because you already have 52 cars "
                                               "installed.";
}

void tst_DownloadRequestLimit::limit() {
    QFETCH(int, installed);
    QFETCH(int, ticked);
    QFETCH(bool, refused);
    QFETCH(QString, ending);
    QCOMPARE(exceedsLimit(ticked, installed), refused);
    if (refused) {
        const QString text = limitMessage(ticked, installed);
        QVERIFY(text.startsWith(QStringLiteral("You are only allowed to have a maximum of 50 cars "
                                               "installed with NFSHS. You have to deselect ")));
        QVERIFY2(text.endsWith(ending), qPrintable(text));
    }
}

void tst_DownloadRequestLimit::selectionKeepsListOrder() {
    // The list is sorted by name; catalogue indexes say nothing about the order.
    const QStringList urls{QString(), QStringLiteral("http://s/zeta.zip"), QString(),
                           QStringLiteral("http://s/alpha.zip"), QStringLiteral("http://s/c.zip")};
    const QList<Row> rows{{true, QStringLiteral("Alpha"), 3},
                          {true, QStringLiteral("Beta"), 2}, // an announcement: no address
                          {false, QStringLiteral("Cobra"), 4},
                          {true, QStringLiteral("Zeta"), 1},
                          {true, QStringLiteral("Broken"), 99}}; // an index past the catalogue
    QCOMPARE(tickedCount(rows), 4);
    const Selection s = select(rows, urls);
    QCOMPARE(s.names, (QStringList{QStringLiteral("Alpha"), QStringLiteral("Zeta")}));
    QCOMPARE(s.urls, (QStringList{QStringLiteral("http://s/alpha.zip"),
                                  QStringLiteral("http://s/zeta.zip")}));
}

void tst_DownloadRequestLimit::messages() {
    QCOMPARE(kLimitTitle, QStringLiteral("Limit on Number of Cars"));
    QCOMPARE(kNoAddressTitle, QStringLiteral("Car Selection"));
    QCOMPARE(
        noAddressMessage(),
        QStringLiteral("The cars you selected do not have a proper URL.\r\nThis may be because "
                       "they are just messages and not actually a car for download."));
}

QTEST_GUILESS_MAIN(tst_DownloadRequestLimit)
#include "tst_DownloadRequestLimit.moc"
