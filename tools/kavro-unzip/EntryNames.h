#pragma once

#include <string>
#include <string_view>
#include <vector>

// The rules for a ZIP entry's name before anything is written: a name is unsafe when it is
// empty, absolute ("/x", "\x"), starts with a drive letter ("C:x") or has a ".." part (these would
// write outside the folder), when it holds a control character (C0, DEL or, UTF-8 encoded, C1),
// when a part is longer than kMaxPartBytes or the whole name longer than kMaxNameBytes. Both "/"
// and "\" separate parts, so "..\x" is as unsafe as "../x". Unsafe names are refused, never
// altered: a car's files are looked up by name, so a name changed here would only fail later.
namespace EntryNames {

// The longest part a file system takes (NAME_MAX), and the longest name in all.
inline constexpr size_t kMaxPartBytes = 255;
inline constexpr size_t kMaxNameBytes = 1024;

struct Parsed {
    bool safe = false;
    bool outside = false;           // unsafe because it would be written outside the folder
    std::string reason;             // why the name is unsafe (when !safe)
    std::vector<std::string> parts; // the path parts below the folder, "." and empty parts dropped
    bool folder = false;            // the name ends in a separator: a folder entry
};

Parsed parse(std::string_view name);

// name as it may be shown in a message: control characters as \xNN, a long name cut short.
std::string printable(std::string_view name);

} // namespace EntryNames
