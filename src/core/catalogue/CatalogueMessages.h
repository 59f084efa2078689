#pragma once

#include "core/session/ProgramInfo.h"

#include <QString>

// The boxes of the server list and the catalogue.
namespace CatalogueMessages {

inline const QString kCorruptFile = QStringLiteral(
    "Data File on server is corrupted or you may be experiencing network problems. Please try to "
    "check your internet connection and proxy server settings. If you are required to use a proxy "
    "server, then set it up in Microsoft Internet Explorer.");
inline const QString kOutdatedTitle = QStringLiteral("Outdated Version");
inline QString outdatedVersion() {
    return QStringLiteral("This version of Kavro is incompatible with the data file on the "
                          "server, please obtain a newer version of Kavro from ") +
           ProgramInfo::kMakerWebPage + u'.';
}
constexpr int kStyle = 16;

} // namespace CatalogueMessages
