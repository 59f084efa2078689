#include "core/download/AviClip.h"

#include <QFile>
#include <cstring>

namespace {

quint32 u32(const QByteArray& d, qsizetype at) {
    const auto* p = reinterpret_cast<const uchar*>(d.constData()) + at;
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

quint16 u16(const QByteArray& d, qsizetype at) {
    const auto* p = reinterpret_cast<const uchar*>(d.constData()) + at;
    return quint16(p[0] | p[1] << 8);
}

bool fourcc(const QByteArray& d, qsizetype at, const char* id) {
    return std::memcmp(d.constData() + at, id, 4) == 0;
}

struct Parser {
    explicit Parser(const QByteArray& data) : d(data) {}
    const QByteArray& d;
    // What the headers say.
    quint32 usPerFrame = 0;
    int streams = 0;
    int audioStreams = 0;
    int videoStream = -1;
    quint32 scale = 0;
    quint32 rate = 0;
    QByteArray format;        // the video stream's BITMAPINFOHEADER and palette
    QList<QByteArray> chunks; // the video stream's frame chunks in order
    bool ok = true;

    // Walks the chunks between begin and end (a chunk that runs past end ends the walk).
    void walk(qsizetype begin, qsizetype end, const QByteArray& list, int depth = 0) {
        if (depth > 8)
            return; // no real clip nests lists this deep
        qsizetype at = begin;
        while (ok && at + 8 <= end) {
            const quint32 size = u32(d, at + 4);
            const qsizetype dataAt = at + 8;
            if (qint64(size) > qint64(end - dataAt))
                return; // a cut chunk: keep what was read before it
            if (fourcc(d, at, "LIST") || fourcc(d, at, "RIFF")) {
                if (size >= 4) {
                    const QByteArray type = d.mid(dataAt, 4);
                    if (type == "strl")
                        ++streams;
                    walk(dataAt + 4, dataAt + size, type, depth + 1);
                }
            } else {
                chunk(at, dataAt, size, list);
            }
            at = dataAt + size + (size & 1);
        }
    }

    void chunk(qsizetype at, qsizetype dataAt, quint32 size, const QByteArray& list) {
        const int stream = streams - 1;
        if (list == "hdrl" && fourcc(d, at, "avih") && size >= 40) {
            usPerFrame = u32(d, dataAt);
        } else if (list == "strl" && fourcc(d, at, "strh") && size >= 28) {
            if (fourcc(d, dataAt, "vids") && videoStream < 0) {
                videoStream = stream;
                scale = u32(d, dataAt + 20);
                rate = u32(d, dataAt + 24);
            } else if (fourcc(d, dataAt, "auds")) {
                ++audioStreams;
            }
        } else if (list == "strl" && fourcc(d, at, "strf") && stream == videoStream &&
                   format.isEmpty()) {
            format = d.mid(dataAt, size);
        } else if ((list == "movi" || list == "rec ") && videoStream >= 0) {
            const QByteArray id = d.mid(at, 4);
            const QByteArray number = QByteArray::number(videoStream).rightJustified(2, '0');
            if (id.left(2) == number && (id.mid(2) == "dc" || id.mid(2) == "db"))
                chunks.append(d.mid(dataAt, size));
        }
    }
};

bool fail(QString* error, const char* text) {
    if (error)
        *error = QString::fromLatin1(text);
    return false;
}

} // namespace

void AviClip::clear() {
    m_width = m_height = 0;
    m_usPerFrame = 0;
    m_compression = Rgb;
    m_streams = m_audioStreams = 0;
    m_palette.clear();
    m_frames.clear();
}

bool AviClip::loadFile(const QString& path, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        clear();
        return fail(error, "cannot read the clip file");
    }
    return load(f.readAll(), error);
}

bool AviClip::load(const QByteArray& data, QString* error) {
    clear();
    if (data.size() < 12 || !fourcc(data, 0, "RIFF") || !fourcc(data, 8, "AVI "))
        return fail(error, "not a RIFF AVI file");
    Parser p(data);
    const qsizetype end = qMin<qint64>(data.size(), 8 + qint64(u32(data, 4)));
    p.walk(12, end, QByteArrayLiteral("AVI "));
    if (p.videoStream < 0 || p.format.size() < 40)
        return fail(error, "no video stream");

    const QByteArray& bi = p.format;
    const quint32 headerSize = u32(bi, 0);
    const qint32 w = qint32(u32(bi, 4));
    const qint32 h = qint32(u32(bi, 8));
    const quint16 bits = u16(bi, 14);
    const quint32 compression = u32(bi, 16);
    quint32 colours = u32(bi, 32);
    const bool topDown = h < 0;
    const qint64 height = topDown ? -qint64(h) : h;
    if (w <= 0 || w > kMaxSide || height <= 0 || height > kMaxSide)
        return fail(error, "frame size out of range");
    if (bits != 8 || (compression != Rgb && compression != Rle8) ||
        (compression == Rle8 && topDown))
        return fail(error, "not an 8-bit clip");
    if (headerSize < 40 || headerSize > quint32(bi.size()))
        return fail(error, "bad format header");
    if (colours == 0 || colours > 256)
        colours = 256;
    colours = qMin<quint32>(colours, quint32((bi.size() - headerSize) / 4));
    for (quint32 i = 0; i < colours; ++i) {
        const qsizetype at = headerSize + 4 * i;
        const auto* q = reinterpret_cast<const uchar*>(bi.constData()) + at;
        m_palette.append(0xFF000000u | quint32(q[2]) << 16 | quint32(q[1]) << 8 | q[0]);
    }
    while (m_palette.size() < 256)
        m_palette.append(0xFF000000u);

    const qint64 frameBytes = qint64(w) * height;
    if (frameBytes * p.chunks.size() > kMaxDecodedBytes)
        return fail(error, "clip too large");
    if (p.chunks.isEmpty())
        return fail(error, "no frames");

    m_width = w;
    m_height = int(height);
    m_compression = int(compression);
    m_streams = p.streams;
    m_audioStreams = p.audioStreams;
    m_usPerFrame = p.usPerFrame;
    if (m_usPerFrame == 0 && p.rate != 0)
        m_usPerFrame = qint64(1000000.0 * double(p.scale) / double(p.rate));
    if (m_usPerFrame <= 0)
        m_usPerFrame = 100000;

    // Frames are drawn onto one canvas (bottom row first), so a frame that skips pixels keeps
    // those of the frame before; an empty chunk repeats the previous frame.
    QByteArray canvas(frameBytes, '\0');
    const qsizetype stride = (qsizetype(w) + 3) & ~qsizetype(3);
    for (const QByteArray& c : p.chunks) {
        if (compression == Rle8) {
            decodeRle8(c, w, m_height, canvas);
        } else if (!c.isEmpty()) {
            for (int row = 0; row < m_height; ++row) {
                const qsizetype from = stride * row;
                if (from >= c.size())
                    break;
                const int target = topDown ? m_height - 1 - row : row;
                std::memcpy(canvas.data() + qsizetype(target) * w, c.constData() + from,
                            size_t(qMin<qsizetype>(w, c.size() - from)));
            }
        }
        QByteArray frame(frameBytes, Qt::Uninitialized);
        for (int y = 0; y < m_height; ++y)
            std::memcpy(frame.data() + qsizetype(y) * w,
                        canvas.constData() + qsizetype(m_height - 1 - y) * w, size_t(w));
        m_frames.append(frame);
    }
    return true;
}

void AviClip::decodeRle8(const QByteArray& data, int width, int height, QByteArray& canvas) {
    const auto* s = reinterpret_cast<const uchar*>(data.constData());
    const qsizetype n = data.size();
    char* out = canvas.data();
    qsizetype pos = 0;
    qint64 x = 0;
    qint64 y = 0;
    auto put = [&](uchar colour) {
        if (x >= 0 && x < width && y >= 0 && y < height)
            out[y * width + x] = char(colour);
        ++x;
    };
    while (pos + 1 < n) {
        const uchar count = s[pos];
        const uchar value = s[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(value);
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return;
        case 2: // move right and up
            if (pos + 1 >= n)
                return;
            x += s[pos];
            y += s[pos + 1];
            pos += 2;
            break;
        default: // literal pixels, padded to a word
            for (int i = 0; i < value && pos < n; ++i)
                put(s[pos++]);
            pos += value & 1;
            break;
        }
        if (y >= height)
            return;
    }
}
