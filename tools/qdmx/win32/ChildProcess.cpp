// CreateProcessW with a command line quoted so that the C runtime's and CommandLineToArgvW's
// parsing gives the program back exactly the arguments given.
#include "tools/qdmx/ChildProcess.h"

#include "platform/Exception.h"
#include "platform/win32/Owned.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/WideText.h"

#include <windows.h>

namespace qdmx {
namespace {

// One argument as the parsing rules want it: in quotes when it has a space, a tab or a quote (or
// is empty), its quotes escaped and the backslashes before a quote or the closing quote doubled.
std::wstring QuotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

} // namespace

int RunProgram(const std::vector<std::string>& arguments, const std::string& outputFile) {
    if (arguments.empty()) throw Exception("no program to run");
    std::wstring line;
    for (const std::string& argument : arguments)
        line += (line.empty() ? L"" : L" ") + QuotedArgument(Utf8ToWide(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    THandle output;
    if (!outputFile.empty()) {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        output.reset(CreateFileW(WidePath(outputFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!output) throw Exception("cannot create " + outputFile + ": " + LastSystemMessage(true));
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output.get();
        startup.hStdError = output.get();
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, output ? TRUE : FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        throw Exception("cannot run " + arguments[0] + ": " + LastSystemMessage(true));
    const THandle processHandle(process.hProcess), threadHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    if (!GetExitCodeProcess(process.hProcess, &status))
        throw Exception("cannot wait for " + arguments[0] + ": " + LastSystemMessage(true));
    return static_cast<int>(status);
}

} // namespace qdmx
