// Member-name rules of qdmx. Names use backslashes; '/' is accepted as a separator too, since
// either can separate directories on Windows and a name made on another system may carry it.
#include "tools/qdmx/MemberNames.h"

#include "compress/archive/MemberNameRules.h"
#include "platform/text/AsciiCase.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace qdmx {
namespace {
bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : path) {
        if (IsSeparator(c)) {
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    parts.push_back(current);
    return parts;
}
} // namespace

bool IsUnsafeMemberName(const std::string& name) {
    return IsEscapingMemberName(name, HostNameRules);
}

std::optional<std::string> MemberNameOfPath(const std::string& path, bool& rootStripped) {
    std::string rest = path;
    rootStripped = false;
#ifdef _WIN32
    if (rest.size() >= 2 && IsAsciiLetter(rest[0]) && rest[1] == ':') {
        rest.erase(0, 2);
        rootStripped = true;
    }
#endif
    while (!rest.empty() && IsSeparator(rest[0])) {
        rest.erase(0, 1);
        rootStripped = true;
    }
    std::string name;
    for (const auto& part : Components(rest)) {
        if (part.empty() || part == ".") continue;
        if (part == "..") return std::nullopt;
        if (!name.empty()) name += '\\';
        name += part;
    }
    return name;
}

std::optional<int32_t> ParseKey(const std::string& text) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    size_t digits = text[0] == '-' ? 1 : 0;
    bool hex = text.size() > digits + 1 && text[digits] == '0' &&
               (text[digits + 1] == 'x' || text[digits + 1] == 'X');
    long long value = std::strtoll(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || value < INT32_MIN || value > static_cast<long long>(UINT32_MAX) ||
        value == 0)
        return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

} // namespace qdmx
