#include "compress/archive/FileNames.h"

#include "platform/AsciiCase.h"
bool SameFileName(const std::string& a, const std::string& b) {
    return EqualsIgnoringAsciiCase(a, b);
}

std::string FolderOf(const std::string& path) {
    const size_t last = path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}
