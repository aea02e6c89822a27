// The system's text for the last error, as the file operations put it into their messages.
#pragma once

#include "platform/win32/WideText.h"

#include <windows.h>

#include <string>

// The text of GetLastError() (UTF-8) without its line end; finalStop: keep the full stop that ends it.
inline std::string LastSystemMessage(bool finalStop) {
    wchar_t text[512] = {};
    const DWORD code = GetLastError();
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                             text, sizeof text / sizeof text[0], nullptr);
    while (n > 0 && (text[n - 1] == L'\n' || text[n - 1] == L'\r' || text[n - 1] == L' ' ||
                     (!finalStop && text[n - 1] == L'.')))
        text[--n] = 0;
    return n ? WideToUtf8(std::wstring_view(text, n)) : "error " + std::to_string(code);
}
