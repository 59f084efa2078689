#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The game's car archive ("CAR.VIV", magic "BIGF"): a flat, uncompressed container.
//
//   offset 0   "BIGF"
//          4   archive length (the file's length)      all numbers: unsigned 32-bit big-endian
//          8   entry count
//         12   data start (header + directory length; written, never read)
//         16   directory: per entry offset, length, name bytes, one zero byte
//
// The reader trusts nothing in the file: an archive is valid only when the magic is "BIGF", the
// archive length equals the file's length, the count is at most 32767, every directory entry and
// every entry's data lie inside the file, and every name is a plain file name (not empty, not "."
// or "..", no "/", "\" or ":", at most 255 bytes as a file name here). Zero-length entries are
// valid. Names are Windows-1252 text.

// The offset of the serial-number byte inside the "fedata.eng" entry.
inline constexpr qint64 kVivSerialOffset = 798;

// Reads the archive at archivePath.
//
// Unpack mode (serialOnly == 0): writes every entry as destFolder + name (destFolder ends in "/"
// and should be empty) and returns 1. The whole directory is checked before the first file is
// written: an invalid archive gives 0 and nothing is written. An archive with two entries of the
// same name cannot be unpacked without losing one: 0, nothing written, and a reason in *error.
// Nothing is ever written outside destFolder: a symbolic link already there under an entry's name
// is replaced, never followed.
//
// Serial-only mode (serialOnly != 0): destFolder is ignored. Returns the byte at offset 798 of the
// data of the last entry named exactly "fedata.eng" (0 to 255), 0 when there is none, and -1 when
// the archive is invalid or that entry is too short to hold the byte.
//
// A missing archive file is an invalid archive. When the file cannot be read (or, unpacking, a
// file cannot be written), the result is 0 / -1 as for an invalid archive, *error receives the
// reason and no unpacked file is left behind; error stays empty otherwise.
qint16 ReadViv(const QString& archivePath, const QString& destFolder, qint16 serialOnly,
               QString* error = nullptr);

// Builds a new archive at archivePath from the plain files of sourceFolder (hidden ones included,
// sub-folders not), in the folder's listing order (sorted by name without regard to case), data
// placed back to back after the directory. A folder without files gives a 16-byte archive. The
// archive is written under a temporary name beside archivePath and renamed over it only when
// complete, so a failure leaves whatever was at archivePath untouched. Returns false with a reason
// in *error when a file cannot be read or written, or when a name cannot be stored in an archive
// (not Windows-1252, or a name the reader would refuse), or more than 32767 files, or over 4 GiB.
bool WriteViv(const QString& archivePath, const QString& sourceFolder, QString* error = nullptr);

// Rebuilds the archive at archivePath exactly as unpacking it, changing some of the files and
// building from that folder would (same checks, same entries, same order, same bytes), without
// writing the entries anywhere but into the new archive: edit(name, data, why) is called with the
// bytes of every entry whose name selects(name) accepts, and changes them in place; the other
// entries are copied from the old archive. The new archive is written beside the old one and
// renamed over it only when complete. False (with a reason in *error) for an invalid archive, an
// archive with two entries of one name, an edit that fails, or a failed read or write: the
// archive is then byte for byte as it was.
bool RewriteViv(const QString& archivePath, const std::function<bool(const QString&)>& selects,
                const std::function<bool(const QString&, QByteArray&, QString*)>& edit,
                QString* error = nullptr);

// Calls visit(name, data) for every entry of the archive at archivePath, in directory order. False
// (why in *error) when the archive is invalid or cannot be read; visit then may have seen some.
bool ForEachVivEntry(const QString& archivePath,
                     const std::function<void(const QString&, const QByteArray&)>& visit,
                     QString* error = nullptr);

// The same 32-bit number with its four bytes in reverse order.
constexpr quint32 SwapLong(quint32 value) {
    return ((value & 0x000000FFu) << 24) | ((value & 0x0000FF00u) << 8) |
           ((value & 0x00FF0000u) >> 8) | ((value & 0xFF000000u) >> 24);
}

// The Windows-1252 code of each character of name, then one zero byte.
QByteArray NameToBytes(const QString& name);
