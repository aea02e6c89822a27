#include "tools/qdmx/SignatureCheck.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <softpub.h>
#include <wintrust.h>

namespace qdmx {

std::optional<std::string> RefuseSignature(const std::string& path, const std::string&, const std::string&) {
    const std::wstring file = Utf8ToWide(path);
    WINTRUST_FILE_INFO fileInfo{};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = file.c_str();
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG status = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    if (status == ERROR_SUCCESS) return std::nullopt;
    char code[16];
    wsprintfA(code, "0x%08lX", static_cast<unsigned long>(status));
    return std::string("WinVerifyTrust does not accept its signature (") + code + ")";
}

} // namespace qdmx
