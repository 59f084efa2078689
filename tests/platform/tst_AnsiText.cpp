#include "platform/AnsiText.h"

#include <QtTest>

class tst_AnsiText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void splitLines_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty") << QByteArray() << QStringList();
        QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
        QTest::newRow("lone cr") << QByteArray("a\rb") << QStringList{"a", "b"};
        QTest::newRow("lone lf does not end a line")
            << QByteArray("a\nb\r\n") << QStringList{"a\nb"};
        QTest::newRow("all-LF file read line by line")
            << QByteArray("a\n\nb\n") << QStringList{"a", "", "b"};
        QTest::newRow("trailing empty line") << QByteArray("a\r\n\r\n") << QStringList{"a", ""};
        QTest::newRow("no final line end") << QByteArray("a\r\nb") << QStringList{"a", "b"};
        QTest::newRow("byte-order mark skipped") << QByteArray("\xEF\xBB\xBFSL1\r\n\xEF\xBB\xBF")
                                                 << QStringList{"SL1", "\u00EF\u00BB\u00BF"};
    }
    void splitLines() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, lines);
        QCOMPARE(AnsiText::splitLines(bytes), lines);
    }

    void windows1252RoundTrip() {
        const QByteArray bytes("\x80 \x99 \xe9 \x81", 7);
        const QString text = AnsiText::decode(bytes);
        QCOMPARE(text, QString::fromUtf8("€ ™ é \u0081"));
        QCOMPARE(AnsiText::encode(text), bytes);
        QCOMPARE(AnsiText::encode(QString::fromUtf8("\u4e2d")), QByteArray("?"));
    }

    void readerFailsPastTheEnd() {
        AnsiLineReader r(QStringList{"x"});
        QString line;
        QVERIFY(!r.atEnd());
        QVERIFY(r.readLine(line));
        QCOMPARE(line, QStringLiteral("x"));
        QVERIFY(r.atEnd());
        QVERIFY(!r.readLine(line));
    }
};

QTEST_GUILESS_MAIN(tst_AnsiText)
#include "tst_AnsiText.moc"
