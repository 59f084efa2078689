#include "EntryNames.h"

#include <cstdio>

namespace EntryNames {

namespace {
bool isSeparator(char c) {
    return c == '/' || c == '\\';
}
bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isC0OrDel(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}
// A UTF-8 encoded C1 control (U+0080 to U+009F) starts at i.
bool isC1At(std::string_view s, size_t i) {
    return i + 1 < s.size() && static_cast<unsigned char>(s[i]) == 0xc2 &&
           static_cast<unsigned char>(s[i + 1]) >= 0x80 &&
           static_cast<unsigned char>(s[i + 1]) <= 0x9f;
}
Parsed refused(std::string reason, bool outside) {
    Parsed p;
    p.reason = std::move(reason);
    p.outside = outside;
    return p;
}
} // namespace

Parsed parse(std::string_view name) {
    if (name.empty())
        return refused("no name", false);
    if (isSeparator(name.front()))
        return refused("an absolute path", true);
    if (name.size() >= 2 && isLetter(name[0]) && name[1] == ':')
        return refused("a drive letter", true);
    Parsed p;
    std::string part;
    bool parentPart = false;
    bool partTooLong = false;
    auto flush = [&] {
        if (part == "..")
            parentPart = true;
        else if (!part.empty() && part != ".")
            p.parts.push_back(part);
        partTooLong = partTooLong || part.size() > kMaxPartBytes;
        part.clear();
    };
    for (char c : name) {
        if (isSeparator(c))
            flush();
        else
            part += c;
    }
    flush();
    if (parentPart)
        return refused("a \"..\" part", true);
    for (size_t i = 0; i < name.size(); ++i)
        if (isC0OrDel(static_cast<unsigned char>(name[i])) || isC1At(name, i))
            return refused("a control character", false);
    if (name.size() > kMaxNameBytes)
        return refused("a name of " + std::to_string(name.size()) + " bytes (at most " +
                           std::to_string(kMaxNameBytes) + " are taken)",
                       false);
    if (partTooLong)
        return refused("a part longer than " + std::to_string(kMaxPartBytes) + " bytes", false);
    p.folder = isSeparator(name.back());
    p.safe = true;
    return p;
}

std::string printable(std::string_view name) {
    constexpr size_t kShown = 80;
    std::string out;
    size_t i = 0;
    for (; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (out.size() >= kShown && (c & 0xc0) != 0x80) // never cut inside a UTF-8 sequence
            break;
        if (isC0OrDel(c) || isC1At(name, i) || (i > 0 && isC1At(name, i - 1))) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    if (i < name.size())
        out += "... (" + std::to_string(name.size()) + " bytes)";
    return out;
}

} // namespace EntryNames
