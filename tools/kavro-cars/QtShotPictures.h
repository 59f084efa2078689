#pragma once

#include "core/catalogue/ShotPictures.h"

// The catalogue tools' pictures through Qt's picture readers (BMP, GIF, JPEG, ICO, PNG and any
// other format installed) and its JPEG writer.
class QtShotPictures : public ShotPictures {
public:
    bool isPicture(const QByteArray& bytes) const override;
    bool writeShot(const QByteArray& bytes, const QString& path, QSize fit) const override;
};
