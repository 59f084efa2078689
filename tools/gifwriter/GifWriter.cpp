#include "GifWriter.h"

#include <QImage>

namespace {

class BitWriter {
public:
    void put(int code, int bits) {
        m_acc |= quint32(code) << m_n;
        m_n += bits;
        while (m_n >= 8) {
            m_bytes.append(char(m_acc & 0xFF));
            m_acc >>= 8;
            m_n -= 8;
        }
    }
    QByteArray finish() {
        if (m_n > 0)
            m_bytes.append(char(m_acc & 0xFF));
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    quint32 m_acc = 0;
    int m_n = 0;
};

void le16(QByteArray& out, int v) {
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

int level(int c) { return (c * 5 + 127) / 255; }

} // namespace

QByteArray encodeGif(const QImage& image) {
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    QByteArray out("GIF89a");
    le16(out, img.width());
    le16(out, img.height());
    out.append(char(0xF7)); // global colour table of 256 entries
    out.append('\0');
    out.append('\0');
    for (int i = 0; i < 256; ++i) {
        const int c = qMin(i, 215);
        out.append(char((c / 36) * 51));
        out.append(char(((c / 6) % 6) * 51));
        out.append(char((c % 6) * 51));
    }
    out.append(char(0x2C));
    le16(out, 0);
    le16(out, 0);
    le16(out, img.width());
    le16(out, img.height());
    out.append('\0');
    out.append(char(8)); // LZW minimum code size

    constexpr int kClear = 256, kEnd = 257;
    BitWriter bits;
    bits.put(kClear, 9);
    int sinceClear = 0;
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = line[x];
            bits.put(level(qRed(p)) * 36 + level(qGreen(p)) * 6 + level(qBlue(p)), 9);
            if (++sinceClear == 250) {
                bits.put(kClear, 9);
                sinceClear = 0;
            }
        }
    }
    bits.put(kEnd, 9);
    const QByteArray data = bits.finish();
    for (qsizetype i = 0; i < data.size(); i += 255) {
        const QByteArray block = data.mid(i, 255);
        out.append(char(block.size()));
        out.append(block);
    }
    out.append('\0');
    out.append(char(0x3B));
    return out;
}
