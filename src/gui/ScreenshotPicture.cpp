#include "gui/ScreenshotPicture.h"

#include "platform/GameFs.h"

#include <QImageReader>

namespace ScreenshotPicture {

QString pathIn(const QString& workDir, const QString& name) {
    const QString found = GameFs::findEntry(workDir, name);
    return GameFs::withSlash(workDir) + (found.isEmpty() ? name : found);
}

QImage load(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format().toLower();
    static const QList<QByteArray> accepted{"bmp", "gif", "jpeg", "jpg", "png", "ico"};
    if (!accepted.contains(format))
        return QImage();
    QImage image = reader.read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        return QImage();
    return image;
}

} // namespace ScreenshotPicture
