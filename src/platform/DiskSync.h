#pragma once

#include <QString>

// Flushing to disk what a step has written, so that a later step never reaches the disk before
// it: a file's bytes, or a folder's entries (the names a create, rename or delete changed).
namespace DiskSync {

// fsync of the file at path; false when it cannot be opened or flushed.
bool file(const QString& path);
// fsync of the folder at path (its entries); false when it cannot be opened or flushed.
bool folder(const QString& path);

} // namespace DiskSync
