#include "setup/win32/desktop/ProfileFile.h"

#include "platform/Exception.h"
#include "platform/files/FileStream.h"
#include "platform/files/FileSystem.h"
#include "platform/text/AsciiCase.h"
#include "platform/win32/WideText.h"

#include <windows.h>

namespace {

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

std::string WithProfileValue(std::string text, const std::string& section, const std::string& key,
                             const std::string& value) {
    const std::string entry = key + "=" + value + "\r\n";
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    // Where the entry goes: after the section's last line that is not blank.
    size_t at = std::string::npos;
    for (size_t start = 0, end = 0; start < text.size(); start = end) {
        end = text.find('\n', start) + 1;
        const std::string_view line = Trimmed(std::string_view(text).substr(start, end - start));
        if (line.empty()) continue;
        if (line.front() == '[') {
            if (at != std::string::npos) break;
            if (EqualsIgnoringAsciiCase(Trimmed(line.substr(1, line.find(']') - 1)), section)) at = end;
        } else if (at != std::string::npos) {
            if (EqualsIgnoringAsciiCase(Trimmed(line.substr(0, line.find('='))), key))
                return text.replace(start, end - start, entry);
            at = end;
        }
    }
    if (at == std::string::npos) return text + "[" + section + "]\r\n" + entry;
    return text.insert(at, entry);
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
        const std::string changed = WithProfileValue(std::move(text), section, key, value);
        TFileStream::Create(fileName)->Write(changed.data(), static_cast<int32_t>(changed.size()));
        return true;
    } catch (const Exception&) {
        return false;
    }
}
