// The system's text for the last error, as the file operations put it into their messages.
#pragma once

#include <windows.h>

#include <string>

// The text of GetLastError() without its line end; finalStop: keep the full stop that ends it.
inline std::string LastSystemMessage(bool finalStop) {
    char text[512] = {};
    const DWORD code = GetLastError();
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                             text, sizeof text, nullptr);
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == ' ' ||
                     (!finalStop && text[n - 1] == '.')))
        text[--n] = 0;
    return n ? std::string(text, n) : "error " + std::to_string(code);
}
