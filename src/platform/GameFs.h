#pragma once

#include <QString>
#include <QStringList>

// File-system helpers that give the game folder the behaviour of the file system it was made for:
// names compare without regard to case, wildcards are "?" (one character) and "*" (any run), and
// listings come sorted by name without regard to case, so orders are the same everywhere.
namespace GameFs {

enum class Kind { Files, Folders, FilesAndFolders };

// True when name matches pattern ("?" one character, "*" any run), without regard to case.
// "*.*" matches every name, also names without a dot.
bool wildcardMatch(const QString& name, const QString& pattern);

// The listing order of names: upper-cased, character by character (ordinal), so "ABCD" comes
// before "A_GT" and "alpha" before "Beta"; names equal but for case by their own ordinal order.
bool nameLess(const QString& a, const QString& b);

// Names (not paths) in folder matching pattern, in nameLess order. Hidden entries
// (leading dot) are not listed; "." and ".." never are. A missing folder gives an empty list.
QStringList list(const QString& folder, const QString& pattern, Kind kind = Kind::Files);

// Resolves relative (components separated by "/" or "\") below base, matching each component
// without regard to case against what exists. Components that do not exist keep the given
// spelling. The result uses "/" and keeps a trailing "/" when relative has one.
// Example: base "/g/", relative "Data/Cars/" with "/g/data/CARS" on disk gives "/g/data/CARS/".
QString resolve(const QString& base, const QString& relative);

// The existing entry of folder whose name equals name without regard to case; empty when none.
QString findEntry(const QString& folder, const QString& name);

// Appends "/" when path does not already end in one.
QString withSlash(const QString& path);

} // namespace GameFs
