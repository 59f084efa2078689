#include "core/session/GameFolder.h"

#include "platform/GameFs.h"

#include <QFileInfo>

namespace GameFolder {

bool mayHoldGame(const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    return QFileInfo(GameFs::resolve(GameFs::withSlash(folder), QStringLiteral("Data"))).isDir();
}

bool holdsGame(const QString& folder) {
    return mayHoldGame(folder) &&
           QFileInfo(GameFs::resolve(GameFs::withSlash(folder), QStringLiteral("Data/Cars")))
               .isDir();
}

} // namespace GameFolder
