#include "PictureBytes.h"

#include "GifWriter.h"

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
