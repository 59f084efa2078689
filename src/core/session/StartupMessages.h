#pragma once

#include "core/session/ProgramInfo.h"

#include <QString>

// The messages of a start that cannot go on: the game or the extractor is missing.
namespace StartupMessages {

inline const QString kGameMissingTitle = QStringLiteral("NFSHS");
inline const QString kGameMissing = QStringLiteral(
    "NFSHS is not installed on this computer, or it's files are corrupt. Please (re)install it.");
// The folder chooser offered when neither the store nor a Wine prefix names the game.
inline const QString kWhereIsTheGame = QStringLiteral("Where is Need for Speed High Stakes?");
inline const QString kWinZipMissingTitle = QStringLiteral("WinZip");
inline QString winZipMissing() {
    return QStringLiteral("This program requires WinZip to perform all unzipping operations. "
                          "Please make sure it is installed. You can download it for free from ") +
           ProgramInfo::kWinZipWebSite;
}

} // namespace StartupMessages
