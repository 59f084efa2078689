#include "PictureBytes.h"

#include <QBuffer>
#include <QPainter>
#include <cstdlib>

namespace PictureBytes {

QImage quadrants(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    const int hw = w / 2;
    const int hh = h / 2;
    p.fillRect(0, 0, hw, hh, Qt::red);
    p.fillRect(hw, 0, w - hw, hh, Qt::green);
    p.fillRect(0, hh, hw, h - hh, Qt::blue);
    p.fillRect(hw, hh, w - hw, h - hh, Qt::white);
    return image;
}

namespace {

void le16(QByteArray& out, int v) {
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

// LZW codes packed least significant bit first into 255-byte sub-blocks.
class GifBits {
public:
    void put(int code, int bits) {
        m_acc |= quint32(code) << m_count;
        m_count += bits;
        while (m_count >= 8) {
            m_bytes.append(char(m_acc & 0xFF));
            m_acc >>= 8;
            m_count -= 8;
        }
    }
    QByteArray blocks() {
        if (m_count > 0)
            m_bytes.append(char(m_acc & 0xFF));
        QByteArray out;
        for (qsizetype i = 0; i < m_bytes.size(); i += 255) {
            const QByteArray part = m_bytes.mid(i, 255);
            out.append(char(part.size()));
            out.append(part);
        }
        out.append('\0');
        return out;
    }

private:
    QByteArray m_bytes;
    quint32 m_acc = 0;
    int m_count = 0;
};

// Every pixel as a literal 9-bit code, with a clear code often enough that the decoder's table
// never grows past 9 bits.
QByteArray encodeGif(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    QByteArray out("GIF89a");
    le16(out, image.width());
    le16(out, image.height());
    out.append(char(0xF7)); // global colour table of 256 entries
    out.append('\0');
    out.append('\0');
    for (int i = 0; i < 256; ++i) {
        out.append(char(((i >> 5) & 7) * 255 / 7));
        out.append(char(((i >> 2) & 7) * 255 / 7));
        out.append(char((i & 3) * 255 / 3));
    }
    out.append(char(0x2C));
    le16(out, 0);
    le16(out, 0);
    le16(out, image.width());
    le16(out, image.height());
    out.append('\0');
    out.append(char(8)); // minimum code size
    const int clear = 256;
    const int end = 257;
    GifBits bits;
    bits.put(clear, 9);
    int sinceClear = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (sinceClear == 200) {
                bits.put(clear, 9);
                sinceClear = 0;
            }
            const QRgb c = line[x];
            bits.put((qRed(c) >> 5) << 5 | (qGreen(c) >> 5) << 2 | (qBlue(c) >> 6), 9);
            ++sinceClear;
        }
    }
    bits.put(end, 9);
    out.append(bits.blocks());
    out.append(char(0x3B));
    return out;
}

} // namespace

QByteArray encode(const QImage& image, const char* format) {
    if (qstrcmp(format, "gif") == 0)
        return encodeGif(image);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, qstrcmp(format, "jpeg") == 0 ? 95 : -1);
    return bytes;
}

bool near(QColor c, QColor expected, int tolerance) {
    return std::abs(c.red() - expected.red()) <= tolerance &&
           std::abs(c.green() - expected.green()) <= tolerance &&
           std::abs(c.blue() - expected.blue()) <= tolerance;
}

} // namespace PictureBytes
