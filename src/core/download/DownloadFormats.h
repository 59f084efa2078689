#pragma once

#include <QString>

// Texts of the download window: sizes, times, rates and percentages, and the split of a path or
// URL into folder and file. Numbers use the regional decimal point and thousands separator.

// Bytes as "512 bytes", "1.0 KB", "5.29 MB", "1.5 GB"; a negative size gives the empty text.
// KB = 1024 bytes; the unit changes at 1,000 bytes, 1,024,000 bytes and 1,024,000,000 bytes.
QString FormatFileSize(double dblFileSize);

// Seconds as "45 sec", "2 min 5 sec" or "1 hr 2 min".
QString FormatTime(float sglTime);

// The part after the last separator ("/" for a URL, "\" otherwise) when ReturnFile is true, else
// everything up to and including it. Without a separator: the whole text as file, "" as folder.
QString ReturnFileOrFolder(const QString& FullPath, bool ReturnFile, bool IsURL);

namespace DownloadFormats {

// A number with thousands grouping and exactly one decimal ("###,##0.0"): 1234.56 -> "1,234.6".
QString groupedOneDecimal(double value);
// A fraction as a whole percentage ("##0%"): 0.5 -> "50%".
QString percent(double fraction);
// Rounding to a whole number, halves away from zero / halves to the even neighbour.
double roundHalfAway(double value);
double roundHalfEven(double value);
// A byte count in KB, rounded to the nearest whole KB with halves to even (512 -> 0, 1536 -> 2,
// 2560 -> 2). Negative counts give 0.
qint64 sizeInKB(qint64 bytes);

} // namespace DownloadFormats
