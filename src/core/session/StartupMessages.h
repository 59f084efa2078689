#pragma once

#include "core/session/ProgramInfo.h"

#include <QString>
#include <QStringList>

// The messages of a start that cannot go on: the game or the extractor is missing.
namespace StartupMessages {

inline const QString kGameMissingTitle = QStringLiteral("NFSHS");
inline const QString kGameMissing = QStringLiteral(
    "NFSHS is not installed on this computer, or it's files are corrupt. Please (re)install it.");
// The folder chooser offered when neither the store nor a Wine prefix names the game.
inline const QString kWhereIsTheGame = QStringLiteral("Where is Need for Speed High Stakes?");
// A folder chosen there that is not the game; the chooser comes again.
inline QString notTheGame(const QString& folder) {
    return QStringLiteral("%1 does not hold Need for Speed High Stakes: the game's folder must "
                          "hold Data/Cars. Choose the folder the game is installed in.")
        .arg(folder);
}
// Car ZIPs named on the command line that are not there.
inline const QString kZipMissingTitle = QStringLiteral("Kavro");
inline QString zipsMissing(const QStringList& zips) {
    return zips.size() == 1
               ? QStringLiteral("The car ZIP %1 does not exist.").arg(zips.first())
               : QStringLiteral("These car ZIPs do not exist:\n%1").arg(zips.join(u'\n'));
}
inline const QString kWinZipMissingTitle = QStringLiteral("WinZip");
inline QString winZipMissing() {
    return QStringLiteral("This program requires WinZip to perform all unzipping operations. "
                          "Please make sure it is installed. You can download it for free from ") +
           ProgramInfo::kWinZipWebSite;
}

} // namespace StartupMessages
