#include "platform/PppLink.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_PppLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void upFlag_data() {
        QTest::addColumn<QStringList>("interfaces"); // "name=flags"
        QTest::addColumn<bool>("up");
        QTest::newRow("no interfaces") << QStringList{} << false;
        QTest::newRow("ethernet up only") << QStringList{"lo=0x9", "eth0=0x1003"} << false;
        QTest::newRow("ppp0 up") << QStringList{"eth0=0x1003", "ppp0=0x10d1"} << true;
        QTest::newRow("ppp0 down") << QStringList{"ppp0=0x1090"} << false;
        QTest::newRow("second ppp up") << QStringList{"ppp0=0x1090", "ppp1=0x1091"} << true;
        QTest::newRow("unreadable flags") << QStringList{"ppp0=garbage"} << false;
        QTest::newRow("no flags file") << QStringList{"ppp0"} << false;
    }
    void upFlag() {
        QFETCH(QStringList, interfaces);
        QFETCH(bool, up);
        QTemporaryDir dir;
        for (const QString& i : interfaces) {
            const QStringList parts = i.split(u'=');
            QDir(dir.path()).mkpath(parts[0]);
            if (parts.size() < 2)
                continue;
            QFile f(dir.path() + u'/' + parts[0] + "/flags");
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(parts[1].toLatin1() + '\n');
        }
        QCOMPARE(PppLink::isUp(dir.path()), up);
        QCOMPARE(PppLink::isUp(dir.path() + "/missing"), false);
    }
};

QTEST_GUILESS_MAIN(tst_PppLink)
#include "tst_PppLink.moc"
