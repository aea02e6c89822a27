// Code pages through MultiByteToWideChar, which knows every code page the machine has installed.
#include "platform/text/TextEncoding.h"

#include "platform/Exception.h"
#include "platform/win32/WideText.h"

#include <windows.h>

// The system locale's code page, not GetACP(): the manifest's activeCodePage makes GetACP() answer
// UTF-8 (65001) inside the setup programs, while text without a mark was written in the code page of
// the machine's locale.
unsigned AnsiCodePage() {
    DWORD codePage = 0;
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(wchar_t)) == 0 ||
        codePage == 0)
        return GetACP();
    return codePage;
}

std::string CodePageToUtf8(std::string_view text, unsigned codePage) {
    if (IsAscii(text)) return std::string(text);
    if (!IsValidCodePage(codePage))
        throw Exception("Code page " + std::to_string(codePage) + " is not known on this machine");
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    if (length > 0) MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return WideToUtf8(wide);
}
