#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A RIFF AVI clip of 8-bit frames, decoded whole: its first video stream's frames as palette
// indexes (uncompressed or run-length encoded, BI_RLE8), its palette and its frame rate. Built for
// the download clip (272 x 60, 25 frames); any file is checked against its own sizes, so a broken
// or hostile clip gives an error, never a read outside the data.
class AviClip {
public:
    enum Compression { Rgb = 0, Rle8 = 1 };

    // Largest clip accepted: each side at most 4096 pixels, at most 64 MiB of decoded frames.
    static constexpr int kMaxSide = 4096;
    static constexpr qint64 kMaxDecodedBytes = 64LL * 1024 * 1024;

    bool load(const QByteArray& data, QString* error = nullptr);
    bool loadFile(const QString& path, QString* error = nullptr);

    bool isNull() const { return m_frames.isEmpty(); }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int frameCount() const { return int(m_frames.size()); }
    // Display time of one frame in microseconds (the clip's own rate).
    qint64 microSecondsPerFrame() const { return m_usPerFrame; }
    int compression() const { return m_compression; }
    int streamCount() const { return m_streams; }
    int audioStreamCount() const { return m_audioStreams; }
    // Colours as 0xFFRRGGBB; as many as the clip gives (at most 256).
    const QList<quint32>& palette() const { return m_palette; }
    // Frame i: width * height palette indexes, top row first.
    const QByteArray& frame(int i) const { return m_frames.at(i); }

    // Decodes BI_RLE8 data onto canvas (width * height indexes, bottom row first, as the data
    // counts rows). Pixels the data skips keep their value. Runs past an edge are clipped.
    static void decodeRle8(const QByteArray& data, int width, int height, QByteArray& canvas);

private:
    void clear();

    int m_width = 0;
    int m_height = 0;
    qint64 m_usPerFrame = 0;
    int m_compression = Rgb;
    int m_streams = 0;
    int m_audioStreams = 0;
    QList<quint32> m_palette;
    QList<QByteArray> m_frames;
};
