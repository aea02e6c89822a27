// UTF-8 and UTF-16 through the system's own converters; extended-length paths through
// GetFullPathNameW, which resolves "." and ".." and separators as every Win32 file call would.
#include "platform/win32/WideText.h"

#include <windows.h>

#include <vector>

std::wstring Utf8ToWide(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (length > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string WideToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(length), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

namespace {

// The longest path the system takes (UNICODE_STRING_MAX_CHARS). Wine cuts a longer one short
// instead of refusing it, which would name a folder that is no part of the path.
constexpr size_t LongestPath = 32767;

std::wstring Extended(std::string_view path) {
    std::wstring wide = Utf8ToWide(path);
    const bool driveAbsolute = wide.size() >= 3 && wide[1] == L':' && (wide[2] == L'\\' || wide[2] == L'/');
    const bool share = wide.size() >= 3 && (wide[0] == L'\\' || wide[0] == L'/') &&
                       (wide[1] == L'\\' || wide[1] == L'/') && wide[2] != L'?' && wide[2] != L'.';
    if (!driveAbsolute && !share) return wide;
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return wide;
    // The full path goes behind room for the prefix, which then takes the place of what it
    // replaces: nothing of a drive's path, the leading "\\" of a share's.
    constexpr size_t Room = 8;
    std::wstring extended(Room + needed, L'\0');
    wchar_t* const full = extended.data() + Room;
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full, nullptr);
    if (length == 0 || length >= needed) return wide;
    // A DOS device name in any folder ("C:\dir\NUL") resolves to the device itself ("\\.\NUL"),
    // which the extended form would turn into an ordinary file of that name.
    if (full[0] == L'\\' && full[1] == L'\\' && (full[2] == L'.' || full[2] == L'?') && full[3] == L'\\')
        return std::wstring(full, length);
    const std::wstring_view prefix = driveAbsolute ? L"\\\\?\\" : L"\\\\?\\UNC";
    wchar_t* const start = full - prefix.size() + (driveAbsolute ? 0 : 1);
    prefix.copy(start, prefix.size());
    return std::wstring(start, static_cast<size_t>(full + length - start));
}

} // namespace

std::wstring WidePath(std::string_view path) {
    std::wstring wide = Extended(path);
    if (wide.size() > LongestPath) wide.clear();
    return wide;
}
