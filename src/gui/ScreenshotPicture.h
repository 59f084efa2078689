#pragma once

#include <QImage>
#include <QString>

// The screenshot file that the preview fetches and both the preview and the full-size viewer
// show.
namespace ScreenshotPicture {

// The name the preview writes in the work folder.
inline constexpr char FileName[] = "Kavro_SS.dat";

// The entry of workDir whose name equals name without regard to case (the work folder's names
// compare that way); workDir + name when there is none yet.
QString pathIn(const QString& workDir, const QString& name = QString::fromLatin1(FileName));

// The picture in the file, whatever its name says: BMP, GIF, JPEG, PNG or ICO, told apart by
// content. A null image when the file is missing, is none of these or cannot be decoded.
QImage load(const QString& path);

} // namespace ScreenshotPicture
