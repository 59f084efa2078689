#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

struct AppContext;

// The players' catalogue sources from a terminal: "source list [--json]", "source add URL",
// "source remove URL", on the same store and judgement as kavro's Catalogues window. Reads its
// own arguments (those after "source") and returns the exit status.
namespace SourceCommands {

int source(AppContext& ctx, const QStringList& args, QTextStream& out, QTextStream& err);

// Their lines of kavro-cars --help.
QString helpText();

} // namespace SourceCommands
