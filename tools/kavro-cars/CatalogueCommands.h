#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

struct AppContext;

// The hosts' commands of kavro-cars: "catalogue" makes a catalogue of a folder of car ZIPs,
// "check" checks a published server list or catalogue. Each reads its own arguments (those after
// the command's name) and returns the exit status.
namespace CatalogueCommands {

int catalogue(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err);
int check(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err);

// Their lines of kavro-cars --help.
QString helpText();

} // namespace CatalogueCommands
