// PLACEHOLDER: the installation work replaces this file; until then nothing is installed.
#include "core/gamedata/CarInstaller.h"

CarInstaller::CarInstaller(Session& session, ProgramEnd& programEnd)
    : m_session(session), m_end(programEnd) {}

void CarInstaller::InstallCar(qint16, const QString&, QString& errorText, QString&) {
    if (onStatus)
        onStatus(QStringLiteral("Installing Car..."));
    errorText += QStringLiteral("Installation failed: installing is not built yet\r\n");
    if (onStatus)
        onStatus(QStringLiteral("."));
}
