#include "compress/archive/FileNames.h"

#include "platform/text/AsciiCase.h"
#include "platform/text/TextEncoding.h"

bool SameFileName(const std::string& a, const std::string& b) {
    return EqualsIgnoringAsciiCase(a, b);
}

std::string FolderOf(const std::string& path) {
    const size_t last = path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string PrintableName(const std::string& name) {
    static const char digits[] = "0123456789ABCDEF";
    const bool escapeHigh = !IsValidUtf8(name);
    std::string text;
    for (char c : name) {
        const auto code = static_cast<unsigned char>(c);
        if (code < 0x20 || code == 0x7F || (escapeHigh && code >= 0x80))
            text += std::string("\\x") + digits[code >> 4] + digits[code & 0xF];
        else
            text += c;
    }
    return text;
}
