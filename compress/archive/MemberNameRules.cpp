#include "compress/archive/MemberNameRules.h"

#include "platform/files/FileSystem.h"
#include "platform/text/AsciiCase.h"

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsWindowsSpecialComponent(const std::string& part) {
    for (char c : part)
        if (c == ':' || static_cast<unsigned char>(c) < 0x20) return true;
    return IsDosDeviceName(part);
}

} // namespace

bool IsEscapingMemberName(const std::string& name, TNameRules rules) {
    if (name.empty() || IsSeparator(name[0])) return true;
    if (name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':') return true;
    size_t start = 0;
    for (;;) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        const std::string part = name.substr(start, end - start);
        if (part == "..") return true;
        if (rules == TNameRules::Windows && IsWindowsSpecialComponent(part)) return true;
        if (end == name.size()) return false;
        start = end + 1;
    }
}
