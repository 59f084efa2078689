#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>

// Screenshot fixtures: pictures encoded in the formats a catalogue server hands out.
namespace PictureBytes {

// w x h pixels in four solid quadrants: red (top left), green (top right), blue (bottom left),
// white (bottom right).
QImage quadrants(int w, int h);

// The image as a file of format "bmp", "gif", "jpeg", "png" or "ico". GIF comes from our own
// encoder (GifWriter; Qt reads GIF but does not write it), whose colour cube keeps the four
// quadrant colours exactly.
QByteArray encode(const QImage& image, const char* format);

// True when c is within tolerance of the expected colour in every channel (JPEG is lossy).
bool near(QColor c, QColor expected, int tolerance = 40);

} // namespace PictureBytes
