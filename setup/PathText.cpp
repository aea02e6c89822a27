// Path and name helpers, written out over the bytes so that no locale takes part.
#include "setup/PathText.h"

#include "compress/archive/FileNames.h"

namespace {

size_t AfterLastDelimiter(const std::string& path) {
    const size_t pos = path.find_last_of("\\:");
    return pos == std::string::npos ? 0 : pos + 1;
}

} // namespace

std::string ExtractFileName(const std::string& path) {
    return path.substr(AfterLastDelimiter(path));
}

std::string ExtractFileExt(const std::string& path) {
    const std::string name = ExtractFileName(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ExtractFileDir(const std::string& path) {
    size_t length = AfterLastDelimiter(path);
    // Drop the trailing "\" unless it follows a drive colon or another "\" (a root).
    if (length > 1 && path[length - 1] == '\\' && path[length - 2] != '\\' && path[length - 2] != ':')
        --length;
    return path.substr(0, length);
}

bool SameText(const std::string& a, const std::string& b) {
    return SameFileName(a, b);
}

std::string TrimTrailingBackslashes(std::string path) {
    while (path.size() > 1 && path.back() == '\\' && path[path.size() - 2] != ':') path.pop_back();
    return path;
}
