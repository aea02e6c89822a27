#include "setup/win32/ProgramArguments.h"

#include "platform/win32/WideText.h"

#include <windows.h>

std::wstring_view SkipProgramName(std::wstring_view commandLine) {
    size_t at = 0;
    bool quoted = false;
    while (at < commandLine.size() && (commandLine[at] > L' ' || (commandLine[at] != L'\0' && quoted))) {
        if (commandLine[at] == L'"') quoted = !quoted;
        ++at;
    }
    while (at < commandLine.size() && commandLine[at] != L'\0' && commandLine[at] <= L' ') ++at;
    return commandLine.substr(at);
}

std::string ProgramArguments() {
    const wchar_t* line = GetCommandLineW();
    return line ? WideToUtf8(SkipProgramName(line)) : std::string();
}
