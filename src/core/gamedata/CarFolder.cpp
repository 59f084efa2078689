#include "core/gamedata/CarFolder.h"

#include "platform/GameFs.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace {

bool holdsCarViv(const QString& folder) {
    const QString found = GameFs::findEntry(folder, QStringLiteral("CAR.VIV"));
    return !found.isEmpty() && QFileInfo(GameFs::withSlash(folder) + found).isFile();
}

} // namespace

bool findCarFolder(const QString& extractionFolder, QString& carFolder, QString& reason) {
    if (holdsCarViv(extractionFolder)) {
        carFolder = extractionFolder;
        return true;
    }
    QStringList holders;
    QDirIterator it(extractionFolder, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString sub = it.next();
        if (holdsCarViv(sub))
            holders.append(sub);
    }
    if (holders.size() == 1) {
        carFolder = holders.first();
        return true;
    }
    if (holders.isEmpty()) {
        reason = QStringLiteral("the car's ZIP holds no CAR.VIV");
    } else {
        for (QString& h : holders)
            h = QDir(extractionFolder).relativeFilePath(h);
        holders.sort(Qt::CaseInsensitive);
        reason = QStringLiteral("the car's ZIP holds more than one CAR.VIV (in %1)")
                     .arg(holders.join(QStringLiteral(", ")));
    }
    return false;
}
