#pragma once

#include <QString>

// The browser's author line for a catalogue entry's author text: empty for an empty text,
// "Author : Unknown" for "N/A" in any mix of case, "Author : " + the text otherwise.
QString AuthorLine(const QString& author);
