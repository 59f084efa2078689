#pragma once

#include <QByteArray>

class QImage;

// Writes a GIF (Qt reads GIF but does not write it). Colours are reduced to a 6x6x6 cube; the
// LZW stream restarts its table often enough to keep 9-bit codes, which every reader accepts.
QByteArray encodeGif(const QImage& image);
