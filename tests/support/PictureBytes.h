#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>

// Screenshot fixtures: pictures encoded in the formats a catalogue server hands out.
namespace PictureBytes {

// w x h pixels in four solid quadrants: red (top left), green (top right), blue (bottom left),
// white (bottom right).
QImage quadrants(int w, int h);

// The image as a file of format "bmp", "gif", "jpeg", "png" or "ico". GIF comes from a small
// encoder of our own (Qt reads GIF but does not write it): a 3-3-2 colour table, so the four
// quadrant colours survive exactly.
QByteArray encode(const QImage& image, const char* format);

// True when c is within tolerance of the expected colour in every channel (JPEG is lossy).
bool near(QColor c, QColor expected, int tolerance = 40);

} // namespace PictureBytes
