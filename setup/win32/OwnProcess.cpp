// The process's elevation. (The private folder and the link check, which only the uninstaller
// needs, have a file of their own, so that the setup programs do not carry them.)
#include "setup/win32/OwnProcess.h"

#include "platform/win32/Owned.h"

bool ProcessIsElevated() {
    THandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Out())) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated != 0;
}
