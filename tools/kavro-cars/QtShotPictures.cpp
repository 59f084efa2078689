#include "QtShotPictures.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QSaveFile>

namespace {

QImage readPicture(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.read();
}

} // namespace

bool QtShotPictures::isPicture(const QByteArray& bytes) const {
    return !readPicture(bytes).isNull();
}

bool QtShotPictures::writeShot(const QByteArray& bytes, const QString& path, QSize fit) const {
    QImage picture = readPicture(bytes);
    if (picture.isNull())
        return false;
    if (picture.width() > fit.width() || picture.height() > fit.height())
        picture = picture.scaled(fit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!picture.convertToFormat(QImage::Format_RGB32).save(&file, "JPEG", 85)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
