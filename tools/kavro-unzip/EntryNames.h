#pragma once

#include <string>
#include <string_view>
#include <vector>

// The rules for a ZIP entry's name before anything is written: a name is unsafe when it is
// empty, absolute ("/x", "\x"), starts with a drive letter ("C:x") or has a ".." part. Both "/"
// and "\" separate parts, so "..\x" is as unsafe as "../x".
namespace EntryNames {

struct Parsed {
    bool safe = false;
    std::string reason;             // why the name is unsafe (when !safe)
    std::vector<std::string> parts; // the path parts below the folder, "." and empty parts dropped
    bool folder = false;            // the name ends in a separator: a folder entry
};

Parsed parse(std::string_view name);

} // namespace EntryNames
