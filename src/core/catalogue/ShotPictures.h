#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

// What the catalogue tools need of pictures (any format Qt's picture readers take), given by the
// program that runs them, which links Qt's picture classes.
class ShotPictures {
public:
    virtual ~ShotPictures() = default;
    virtual bool isPicture(const QByteArray& bytes) const = 0;
    // Writes the picture as a JPEG file at path, scaled down to fit within fit (its proportions
    // kept); the file is replaced whole or not at all. False when bytes hold no picture or the
    // file cannot be written.
    virtual bool writeShot(const QByteArray& bytes, const QString& path, QSize fit) const = 0;
};
