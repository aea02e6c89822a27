// Full-path rules for the uninstaller, written out over the bytes so that no locale and no file
// system takes part: the decision is the same on every machine and in the native tests.
#include "setup/InstalledPaths.h"

#include "platform/files/FileSystem.h"
#include "platform/text/AsciiCase.h"
#include "setup/PathText.h"

#include <cstring>
#include <vector>

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// A path split into its root ("C:" or, without drive letters, "/") and its components.
struct TFullPath {
    std::string Root;
    std::vector<std::string> Parts;
};

// What is wrong with a component that does not name one entry of its folder in this one
// spelling; nothing when it does. Bytes of 0x80 and above (UTF-8's multi-byte characters) are
// never one of the ASCII characters looked at.
std::optional<std::string> ComponentFault(const std::string& part) {
    // Made only for a refused part: the uninstaller parses every path of its record.
    auto its = [&part](const std::string& what) { return "its part \"" + part + "\" " + what; };
    if (part.empty()) return std::string("it has two backslashes in a row");
    if (part == "." || part == "..") return its("names another folder");
    if (part.back() == '.') return its("ends in a point, which Windows drops");
    if (part.back() == ' ') return its("ends in a blank, which Windows drops");
    for (char c : part) {
        if (static_cast<unsigned char>(c) < 0x20) return its("holds a control character");
        if (std::strchr("<>:\"|?*", c))
            return its("holds \"" + std::string(1, c) + "\", which no name may hold");
    }
    if (IsDosDeviceName(part)) return its("is the name of a device");
    return std::nullopt;
}

// The path's root and components, or what is wrong with it.
struct TParsed {
    std::optional<TFullPath> Path;
    std::string Fault;
};

TParsed ParsePath(const std::string& path) {
    TFullPath full;
    size_t at = 0;
    if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' && IsSeparator(path[2])) {
        full.Root = std::string(1, ToUpperAscii(path[0])) + ":";
        at = 3;
    } else if (!PlatformHasDriveLetters && path.size() >= 2 && path[0] == '/' && !IsSeparator(path[1])) {
        full.Root = "/";
        at = 1;
    } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        return {std::nullopt,
                "network (\\\\server\\share) and device (\\\\?\\, \\\\.\\) paths are not accepted"};
    } else {
        return {std::nullopt,
                "it is not a full path, which begins with a drive letter, a colon and a backslash "
                "(C:\\...)"};
    }
    // A trailing separator after a component names the same folder; one more would be an empty
    // component.
    size_t end = path.size();
    if (end > at + 1 && IsSeparator(path[end - 1])) --end;
    while (at < end) {
        size_t next = at;
        while (next < end && !IsSeparator(path[next])) ++next;
        std::string part = path.substr(at, next - at);
        if (std::optional<std::string> fault = ComponentFault(part)) return {std::nullopt, *fault};
        full.Parts.push_back(std::move(part));
        at = next + 1;
    }
    // The loop ends on the separator before end only when end leaves an empty component.
    if (at == end && !full.Parts.empty()) return {std::nullopt, *ComponentFault("")};
    return {full, ""};
}

std::optional<TFullPath> ParseFullPath(const std::string& path) {
    return ParsePath(path).Path;
}

bool SameRootAndStart(const TFullPath& folder, const TFullPath& path) {
    if (folder.Root != path.Root || folder.Parts.size() > path.Parts.size()) return false;
    for (size_t i = 0; i < folder.Parts.size(); ++i)
        if (!SameText(folder.Parts[i], path.Parts[i])) return false;
    return true;
}

} // namespace

std::optional<std::string> FullPathFault(const std::string& path) {
    TParsed parsed = ParsePath(path);
    if (parsed.Path) return std::nullopt;
    return parsed.Fault;
}

std::optional<std::string> NormalisedFullPath(const std::string& path) {
    const std::optional<TFullPath> full = ParseFullPath(path);
    if (!full) return std::nullopt;
    std::string text = full->Root;
    if (full->Root != "/") text += '\\';
    for (size_t i = 0; i < full->Parts.size(); ++i) text += (i == 0 ? "" : "\\") + full->Parts[i];
    return text;
}

bool IsInsideFolder(const std::string& folder, const std::string& path) {
    const std::optional<TFullPath> outer = ParseFullPath(folder), inner = ParseFullPath(path);
    return outer && inner && !outer->Parts.empty() && inner->Parts.size() > outer->Parts.size() &&
           SameRootAndStart(*outer, *inner);
}

bool IsFolderOrInside(const std::string& folder, const std::string& path) {
    const std::optional<TFullPath> outer = ParseFullPath(folder), inner = ParseFullPath(path);
    return outer && inner && !outer->Parts.empty() && SameRootAndStart(*outer, *inner);
}

bool IsSamePath(const std::string& a, const std::string& b) {
    const std::optional<TFullPath> one = ParseFullPath(a), two = ParseFullPath(b);
    return one && two && one->Parts.size() == two->Parts.size() && SameRootAndStart(*one, *two);
}
