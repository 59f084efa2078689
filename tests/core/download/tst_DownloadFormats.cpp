// Sizes, times, rates, percentages and the progress arithmetic of the download window.
#include "core/download/DownloadFormats.h"
#include "core/download/DownloadLogText.h"
#include "core/download/DownloadProgress.h"

#include <QtTest>

class tst_DownloadFormats : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fileSize_data();
    void fileSize();
    void time_data();
    void time();
    void fileOrFolder_data();
    void fileOrFolder();
    void numberPatterns();
    void sizeInKB_data();
    void sizeInKB();
    void progressTexts();
    void progressKeepsRateWithoutElapsedTime();
    void logBlocks();
};

void tst_DownloadFormats::fileSize_data() {
    QTest::addColumn<double>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "0 bytes";
    QTest::newRow("512 plain") << 512.0 << "512 bytes";
    QTest::newRow("999") << 999.0 << "999 bytes";
    QTest::newRow("1000 is KB") << 1000.0 << "1.0 KB";
    QTest::newRow("1024") << 1024.0 << "1.0 KB";
    QTest::newRow("half away from zero") << 1280.0 << "1.3 KB";
    QTest::newRow("999 KB") << 1022976.0 << "999.0 KB";
    QTest::newRow("1023999") << 1023999.0 << "1000.0 KB";
    QTest::newRow("1000 KB is MB") << 1024000.0 << "0.98 MB";
    QTest::newRow("1.5 MB") << 1572864.0 << "1.5 MB";
    QTest::newRow("5.29 MB") << 5542880.0 << "5.29 MB";
    QTest::newRow("32.0 MB") << 33553408.0 << "32.0 MB";
    QTest::newRow("GB") << 1024000000.0 << "0.95 GB";
    QTest::newRow("1 GB") << 1073741824.0 << "1.0 GB";
    QTest::newRow("3 GB over 32 bits") << 3.0 * 1073741824.0 << "3.0 GB";
    QTest::newRow("negative") << -1.0 << "";
}

void tst_DownloadFormats::fileSize() {
    QFETCH(double, bytes);
    QFETCH(QString, text);
    QCOMPARE(FormatFileSize(bytes), text);
}

void tst_DownloadFormats::time_data() {
    QTest::addColumn<float>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("0") << 0.0f << "0 sec";
    QTest::newRow("45") << 45.0f << "45 sec";
    QTest::newRow("half a second up") << 0.5f << "1 sec";
    QTest::newRow("59.5") << 59.5f << "60 sec";
    QTest::newRow("60") << 60.0f << "1 min 0 sec";
    QTest::newRow("119.6") << 119.6f << "1 min 0 sec";
    QTest::newRow("125") << 125.0f << "2 min 5 sec";
    QTest::newRow("seconds halves to even") << 150.5f << "2 min 30 sec";
    QTest::newRow("3599.5") << 3599.5f << "59 min 0 sec";
    QTest::newRow("3600") << 3600.0f << "1 hr 0 min";
    QTest::newRow("3725") << 3725.0f << "1 hr 2 min";
    QTest::newRow("7170") << 7170.0f << "1 hr 0 min";
    QTest::newRow("minutes halves to even") << 5430.0f << "1 hr 30 min";
    QTest::newRow("a day") << 90000.0f << "25 hr 0 min";
    QTest::newRow("negative takes the hour form") << -5.0f << "-1 hr 0 min";
}

void tst_DownloadFormats::time() {
    QFETCH(float, seconds);
    QFETCH(QString, text);
    QCOMPARE(FormatTime(seconds), text);
}

void tst_DownloadFormats::fileOrFolder_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("returnFile");
    QTest::addColumn<bool>("isUrl");
    QTest::addColumn<QString>("result");
    const QString url = QStringLiteral("http://example.org/cars/a1.zip");
    QTest::newRow("url file") << url << true << true << "a1.zip";
    QTest::newRow("url folder") << url << false << true << "http://example.org/cars/";
    QTest::newRow("url path as file system path") << url << true << false << url;
    QTest::newRow("windows file") << "C:\\Games\\car.viv" << true << false << "car.viv";
    QTest::newRow("windows folder") << "C:\\Games\\car.viv" << false << false << "C:\\Games\\";
    QTest::newRow("no separator file") << "car.zip" << true << true << "car.zip";
    QTest::newRow("no separator folder") << "car.zip" << false << true << "";
    QTest::newRow("trailing separator") << "http://x/" << true << true << "";
}

void tst_DownloadFormats::fileOrFolder() {
    QFETCH(QString, path);
    QFETCH(bool, returnFile);
    QFETCH(bool, isUrl);
    QFETCH(QString, result);
    QCOMPARE(ReturnFileOrFolder(path, returnFile, isUrl), result);
}

void tst_DownloadFormats::numberPatterns() {
    using namespace DownloadFormats;
    QCOMPARE(groupedOneDecimal(1234.56), QStringLiteral("1,234.6"));
    QCOMPARE(groupedOneDecimal(0), QStringLiteral("0.0"));
    QCOMPARE(groupedOneDecimal(0.05), QStringLiteral("0.1"));
    QCOMPARE(groupedOneDecimal(999.95), QStringLiteral("1,000.0"));
    QCOMPARE(groupedOneDecimal(1234567.89), QStringLiteral("1,234,567.9"));
    QCOMPARE(groupedOneDecimal(100), QStringLiteral("100.0"));
    QCOMPARE(percent(0.5), QStringLiteral("50%"));
    QCOMPARE(percent(0.42), QStringLiteral("42%"));
    QCOMPARE(percent(0.005), QStringLiteral("1%"));
    QCOMPARE(percent(0.999), QStringLiteral("100%"));
    QCOMPARE(percent(0), QStringLiteral("0%"));
}

void tst_DownloadFormats::sizeInKB_data() {
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<qint64>("kb");
    QTest::newRow("300") << qint64(300) << qint64(0);
    QTest::newRow("512 halves to even") << qint64(512) << qint64(0);
    QTest::newRow("513") << qint64(513) << qint64(1);
    QTest::newRow("1536 halves to even") << qint64(1536) << qint64(2);
    QTest::newRow("2000") << qint64(2000) << qint64(2);
    QTest::newRow("2560 halves to even") << qint64(2560) << qint64(2);
    QTest::newRow("past 16 bits of KB") << qint64(33553920) << qint64(32768);
    QTest::newRow("5 GB") << qint64(5) * 1024 * 1024 * 1024 << qint64(5) * 1024 * 1024;
    QTest::newRow("negative") << qint64(-5) << qint64(0);
}

void tst_DownloadFormats::sizeInKB() {
    QFETCH(qint64, bytes);
    QFETCH(qint64, kb);
    QCOMPARE(DownloadFormats::sizeInKB(bytes), kb);
}

void tst_DownloadFormats::progressTexts() {
    DownloadProgress p;
    p.update(42, 100, 2.0);
    QCOMPARE(p.rate(), 21.0f);
    QCOMPARE(p.timeSizeRateText(),
             QStringLiteral("Estimated Time Left: 3 sec (42.0 KB of 100.0 KB copied)\r\r"
                            "Transfer Rate: 21.0 KB/Sec"));
    QCOMPARE(p.percentageLine(QStringLiteral("Example GT")),
             QStringLiteral("42% of Example GT Downloaded"));
    QCOMPARE(p.barWidth(309), 130);

    DownloadProgress big;
    big.update(2500, 30720, 0.5);
    QCOMPARE(big.timeSizeRateText(),
             QStringLiteral("Estimated Time Left: 6 sec (2.44 MB of 30.0 MB copied)\r\r"
                            "Transfer Rate: 5,000.0 KB/Sec"));
}

void tst_DownloadFormats::progressKeepsRateWithoutElapsedTime() {
    DownloadProgress p;
    p.update(1, 2, 0.0); // no time has passed: nothing to divide by
    QCOMPARE(p.rate(), 0.0f);
    QCOMPARE(p.timeLeft(), 0.0f);
    QCOMPARE(p.timeSizeRateText(),
             QStringLiteral("Estimated Time Left: 0 sec (1.0 KB of 2.0 KB copied)\r\r"
                            "Transfer Rate: 0.0 KB/Sec"));
    p.update(2, 10, 1.0);
    QCOMPARE(p.rate(), 2.0f);
    QCOMPARE(p.timeLeft(), 4.0f);
    p.update(3, 10, 0.0); // the rate stays; the time left follows the new count with it
    QCOMPARE(p.rate(), 2.0f);
    QCOMPARE(p.timeLeft(), 3.5f);
    QCOMPARE(p.percentageLine(QStringLiteral("Z")), QStringLiteral("30% of Z Downloaded"));
}

void tst_DownloadFormats::logBlocks() {
    using namespace DownloadLogText;
    const QString s = QStringLiteral("9:05:31 PM 8/30/2000");
    QCOMPARE(header(QStringLiteral("Roadster Z"), s),
             QStringLiteral("Roadster Z\r\n==========\r\nStart at 9:05:31 PM 8/30/2000\r\n"));
    QCOMPARE(header(QStringLiteral("X"), s).split(QStringLiteral("\r\n")).at(1),
             QStringLiteral("="));
    QCOMPARE(endLine(s), QStringLiteral("End at 9:05:31 PM 8/30/2000\r\n"));
    QCOMPARE(errorsLine(QStringLiteral("(none)")), QStringLiteral("ERRORS : (none)\r\n\r\n"));
    QCOMPARE(cancelLines(s), QStringLiteral("End at 9:05:31 PM 8/30/2000\r\n"
                                            "Errors : Cancelled by User\r\n\r\n"));
}

QTEST_GUILESS_MAIN(tst_DownloadFormats)
#include "tst_DownloadFormats.moc"
