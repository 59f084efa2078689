// The clip decoder: the program's own clip, hand-made RLE8 data, and broken files.
#include "core/download/AviClip.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

namespace {

QByteArray le32(quint32 v) {
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char(v >> (8 * i));
    return b;
}
QByteArray le16(quint16 v) {
    return le32(v).left(2);
}

QByteArray chunk(const char* id, const QByteArray& data) {
    QByteArray c = QByteArray(id, 4) + le32(quint32(data.size())) + data;
    if (data.size() & 1)
        c += '\0';
    return c;
}
QByteArray list(const char* type, const QByteArray& content) {
    return chunk("LIST", QByteArray(type, 4) + content);
}

// A minimal 8-bit AVI: w x h, the given compression and frame chunks, a 3-colour palette.
QByteArray makeAvi(int w, int h, quint32 compression, const QList<QByteArray>& frames,
                   quint32 usPerFrame = 50000) {
    QByteArray avih = le32(usPerFrame) + le32(0) + le32(0) + le32(0x10) +
                      le32(quint32(frames.size())) + le32(0) + le32(1) + le32(0) + le32(w) +
                      le32(h) + QByteArray(16, '\0');
    QByteArray strh = QByteArray("vids") + QByteArray("mrle") + le32(0) + le16(0) + le16(0) +
                      le32(0) + le32(1) + le32(20) + le32(0) + le32(quint32(frames.size())) +
                      le32(0) + le32(0xFFFFFFFF) + le32(0) + QByteArray(8, '\0');
    QByteArray strf = le32(40) + le32(w) + le32(h) + le16(1) + le16(8) + le32(compression) +
                      le32(0) + le32(0) + le32(0) + le32(3) + le32(3);
    strf += QByteArray("\x00\x00\x00\x00", 4); // black
    strf += QByteArray("\x00\x00\xff\x00", 4); // red (stored blue, green, red)
    strf += QByteArray("\xff\x00\x00\x00", 4); // blue
    QByteArray movi;
    for (const QByteArray& f : frames)
        movi += chunk("00dc", f);
    return chunk("RIFF",
                 QByteArray("AVI ") +
                     list("hdrl", chunk("avih", avih) +
                                      list("strl", chunk("strh", strh) + chunk("strf", strf))) +
                     list("movi", movi));
}

QByteArray bytes(std::initializer_list<int> v) {
    QByteArray b;
    for (int x : v)
        b += char(x);
    return b;
}

QString row(const QByteArray& frame, int w, int y) {
    QString s;
    for (int x = 0; x < w; ++x)
        s += QString::number(int(uchar(frame.at(y * w + x))));
    return s;
}

} // namespace

class tst_AviClip : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void programClip();
    void generatorMakesTheSameClip();
    void rle8Operations();
    void laterFramesKeepSkippedPixels();
    void uncompressedFrames();
    void brokenFilesAreRefused_data();
    void brokenFilesAreRefused();
    void randomDamageNeverCrashes();
};

void tst_AviClip::programClip() {
    AviClip clip;
    QString error;
    QVERIFY2(clip.loadFile(QStringLiteral(KAVRO_SOURCE_DIR "/src/resources/download.avi"), &error),
             qPrintable(error));
    QCOMPARE(clip.width(), 272);
    QCOMPARE(clip.height(), 60);
    QCOMPARE(clip.frameCount(), 25);
    QCOMPARE(clip.microSecondsPerFrame(), qint64(100000));
    QCOMPARE(clip.compression(), int(AviClip::Rle8));
    QCOMPARE(clip.streamCount(), 1);
    QCOMPARE(clip.audioStreamCount(), 0);
    // Something moves: every frame differs from the one before.
    for (int i = 1; i < clip.frameCount(); ++i)
        QVERIFY(clip.frame(i) != clip.frame(i - 1));
    // The corners are background, drawn in the first palette colour.
    QCOMPARE(int(clip.frame(0).at(0)), 0);
    QCOMPARE(clip.palette().at(0), 0xFFF0F0F0u);
}

void tst_AviClip::generatorMakesTheSameClip() {
    const QString tool = QStringLiteral(KAVRO_BIN_DIR "/kavro-clipgen");
    if (!QFileInfo::exists(tool))
        QSKIP("kavro-clipgen is not built");
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("clip.avi"));
    QCOMPARE(QProcess::execute(tool, {out}), 0);
    QFile made(out), committed(QStringLiteral(KAVRO_SOURCE_DIR "/src/resources/download.avi"));
    QVERIFY(made.open(QIODevice::ReadOnly) && committed.open(QIODevice::ReadOnly));
    QVERIFY(made.readAll() == committed.readAll());
}

void tst_AviClip::rle8Operations() {
    // 6 x 3, bottom row first: a run, literal pixels (odd count, padded), end of line, a move,
    // a run past the right edge (clipped), end of line, end of picture.
    const QByteArray data =
        bytes({2, 1, 0, 3, 2, 1, 2, 0, 1, 1, 0, 0, 0, 2, 1, 0, 9, 2, 0, 0, 3, 1, 0, 1});
    QByteArray canvas(18, '\0');
    AviClip::decodeRle8(data, 6, 3, canvas);
    QCOMPARE(row(canvas, 6, 0), QStringLiteral("112121"));
    QCOMPARE(row(canvas, 6, 1), QStringLiteral("022222"));
    QCOMPARE(row(canvas, 6, 2), QStringLiteral("111000"));

    // Moves and runs that leave the picture write nothing outside it.
    QByteArray small(4, '\0');
    AviClip::decodeRle8(bytes({0, 2, 200, 200, 255, 1, 0, 2, 0, 1, 4, 2}), 2, 2, small);
    QCOMPARE(small, QByteArray(4, '\0'));
    AviClip::decodeRle8(bytes({0, 255, 1, 1}), 2, 2, small); // literal cut short by the data
    QCOMPARE(small, bytes({1, 1, 0, 0}));
}

void tst_AviClip::laterFramesKeepSkippedPixels() {
    const QByteArray first = bytes({4, 1, 0, 0, 4, 1, 0, 1});  // all red
    const QByteArray second = bytes({0, 2, 1, 1, 1, 2, 0, 1}); // one blue pixel at (1, top)
    AviClip clip;
    QVERIFY(clip.load(makeAvi(4, 2, AviClip::Rle8, {first, second, QByteArray()})));
    QCOMPARE(clip.frameCount(), 3);
    QCOMPARE(clip.microSecondsPerFrame(), qint64(50000));
    QCOMPARE(row(clip.frame(0), 4, 0), QStringLiteral("1111"));
    QCOMPARE(row(clip.frame(1), 4, 0), QStringLiteral("1211")); // top row first
    QCOMPARE(row(clip.frame(1), 4, 1), QStringLiteral("1111"));
    QCOMPARE(clip.frame(2), clip.frame(1)); // an empty chunk repeats the frame
    QCOMPARE(clip.palette().at(1), 0xFFFF0000u);
    QCOMPARE(clip.palette().at(2), 0xFF0000FFu);
}

void tst_AviClip::uncompressedFrames() {
    // Rows of 3 pixels are padded to 4 bytes; bottom row first.
    AviClip clip;
    QVERIFY(clip.load(makeAvi(3, 2, AviClip::Rgb, {bytes({1, 1, 1, 0, 2, 0, 2, 0})})));
    QCOMPARE(row(clip.frame(0), 3, 0), QStringLiteral("202"));
    QCOMPARE(row(clip.frame(0), 3, 1), QStringLiteral("111"));
}

void tst_AviClip::brokenFilesAreRefused_data() {
    QTest::addColumn<QByteArray>("data");
    const QByteArray good = makeAvi(4, 2, AviClip::Rle8, {bytes({4, 1, 0, 0, 4, 1, 0, 1})});
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not RIFF") << QByteArray("RIFX") + good.mid(4);
    QTest::newRow("a WAVE file") << good.left(8) + QByteArray("WAVE") + good.mid(12);
    QTest::newRow("headers only") << good.left(good.indexOf("LIST", 24 + 4));
    QTest::newRow("24-bit") << QByteArray(good).replace(QByteArray("\x08\x00\x01\x00\x00\x00", 6),
                                                        QByteArray("\x18\x00\x01\x00\x00\x00", 6));
    QByteArray huge = good;
    huge.replace(good.indexOf("strf") + 12, 4, le32(100000));
    QTest::newRow("absurd width") << huge;
    QByteArray noFrames = makeAvi(4, 2, AviClip::Rle8, {});
    QTest::newRow("no frames") << noFrames;
}

void tst_AviClip::brokenFilesAreRefused() {
    QFETCH(QByteArray, data);
    AviClip clip;
    QString error;
    QVERIFY(!clip.load(data, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(clip.isNull());
}

void tst_AviClip::randomDamageNeverCrashes() {
    QFile f(QStringLiteral(KAVRO_SOURCE_DIR "/src/resources/download.avi"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray original = f.readAll();
    QRandomGenerator rng(20000830);
    for (int round = 0; round < 300; ++round) {
        QByteArray damaged = original.left(qsizetype(rng.bounded(original.size() + 1)));
        for (int i = 0; i < 8 && !damaged.isEmpty(); ++i)
            damaged[rng.bounded(int(damaged.size()))] = char(rng.bounded(256));
        AviClip clip;
        if (clip.load(damaged)) {
            QVERIFY(clip.frameCount() > 0);
            for (int i = 0; i < clip.frameCount(); ++i)
                QCOMPARE(clip.frame(i).size(), qsizetype(clip.width()) * clip.height());
        }
    }
}

QTEST_GUILESS_MAIN(tst_AviClip)
#include "tst_AviClip.moc"
