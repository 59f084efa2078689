#pragma once

#include <QString>

class Clock;

// The lines of the download log. Each car gets a block: its name, a row of "=" as long as the
// name, "Start at", "End at", perhaps a serial warning, and "ERRORS : " with the car's errors
// (or "(none)") followed by two line ends. Lines end in CR LF.
namespace DownloadLogText {

// The time of day and date as the log writes them ("9:05:31 PM 8/30/2000").
QString stamp(const Clock& clock);
// name, its underline and "Start at " + stamp.
QString header(const QString& name, const QString& stamp);
QString endLine(const QString& stamp);
// "ERRORS : " + errors + CR LF CR LF; errors are the car's messages or "(none)".
QString errorsLine(const QString& errors);
// What a cancelled run adds: "End at " + stamp and "Errors : Cancelled by User", then an empty
// line.
QString cancelLines(const QString& stamp);
// Replaces path with the log followed by one CR LF, as Windows-1252 text, atomically. False (why
// in *problem) when it cannot: a full disk, a read-only folder, a folder that is gone.
bool writeLogFile(const QString& path, const QString& log, QString* problem = nullptr);
// The line that says the log could not be written, and why.
QString writeFailedLine(const QString& path, const QString& problem);

} // namespace DownloadLogText
