#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

class Session;

// kavro-cars' garage commands: park, unpark and set (save, use, list, delete), run in a game
// that the caller has found and whose work folder it holds.
namespace GarageCommands {

bool isGarageCommand(const QString& command);
// Whether the command only reads (set list): it then waits for no work folder.
bool onlyReads(const QString& command, const QStringList& operands);
int run(Session& session, const QString& command, const QStringList& operands, QTextStream& out,
        QTextStream& err);
QString helpText();

} // namespace GarageCommands
