#include "EntryNames.h"

namespace EntryNames {

namespace {
bool isSeparator(char c) {
    return c == '/' || c == '\\';
}
bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
} // namespace

Parsed parse(std::string_view name) {
    Parsed p;
    if (name.empty()) {
        p.reason = "an entry has no name";
        return p;
    }
    if (isSeparator(name.front())) {
        p.reason = "an absolute path";
        return p;
    }
    if (name.size() >= 2 && isLetter(name[0]) && name[1] == ':') {
        p.reason = "a drive letter";
        return p;
    }
    std::string part;
    auto flush = [&]() -> bool {
        if (part == "..")
            return false;
        if (!part.empty() && part != ".")
            p.parts.push_back(part);
        part.clear();
        return true;
    };
    for (char c : name) {
        if (isSeparator(c)) {
            if (!flush()) {
                p.reason = "a \"..\" part";
                p.parts.clear();
                return p;
            }
        } else {
            part += c;
        }
    }
    if (!flush()) {
        p.reason = "a \"..\" part";
        p.parts.clear();
        return p;
    }
    p.folder = isSeparator(name.back());
    p.safe = true;
    return p;
}

} // namespace EntryNames
