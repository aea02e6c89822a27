#include "setup/win32/desktop/ProfileFile.h"

#include "platform/AsciiCase.h"
#include "platform/Exception.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/win32/WideText.h"

#include <windows.h>

namespace {

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// text with a line end after it, unless it is empty or ends with one.
std::string Ended(std::string_view text) {
    std::string ended(text);
    if (!ended.empty() && ended.back() != '\n') ended += "\r\n";
    return ended;
}

} // namespace

std::string WithProfileValue(const std::string& text, const std::string& section, const std::string& key,
                             const std::string& value) {
    const std::string entry = key + "=" + value + "\r\n";
    const std::string_view all(text);
    bool inSection = false;
    size_t after = std::string::npos; // the end of the section's last line that is not blank
    for (size_t start = 0; start < all.size();) {
        const size_t newline = all.find('\n', start);
        const size_t end = newline == std::string_view::npos ? all.size() : newline + 1;
        const std::string_view line = Trimmed(all.substr(start, end - start));
        if (!line.empty() && line.front() == '[') {
            if (inSection) break;
            inSection = EqualsIgnoringAsciiCase(Trimmed(line.substr(1, line.find(']') - 1)), section);
            if (inSection) after = end;
        } else if (inSection && !line.empty()) {
            const size_t equals = line.find('=');
            if (equals != std::string_view::npos &&
                EqualsIgnoringAsciiCase(Trimmed(line.substr(0, equals)), key))
                return text.substr(0, start) + entry + text.substr(end);
            after = end;
        }
        start = end;
    }
    if (after != std::string::npos) return Ended(all.substr(0, after)) + entry + text.substr(after);
    return Ended(all) + "[" + section + "]\r\n" + entry;
}

bool WriteProfileValue(const std::string& section, const std::string& key, const std::string& value,
                       const std::string& fileName) {
    const std::wstring path = Utf8ToWide(fileName);
    if (path.size() < MAX_PATH)
        return WritePrivateProfileStringW(Utf8ToWide(section).c_str(), Utf8ToWide(key).c_str(),
                                          Utf8ToWide(value).c_str(), path.c_str()) != 0;
    try {
        std::string text;
        if (FileExists(fileName)) {
            const std::vector<uint8_t> bytes = ReadAll(*TFileStream::OpenRead(fileName));
            text.assign(bytes.begin(), bytes.end());
        }
        // The system's calls keep UTF-16 text in UTF-16; this edit knows 8-bit text only.
        if (text.size() >= 2 && static_cast<uint8_t>(text[0]) == 0xFF &&
            static_cast<uint8_t>(text[1]) == 0xFE)
            return false;
        const std::string changed = WithProfileValue(text, section, key, value);
        TFileStream::Create(fileName)->Write(changed.data(), static_cast<int32_t>(changed.size()));
        return true;
    } catch (const Exception&) {
        return false;
    }
}
