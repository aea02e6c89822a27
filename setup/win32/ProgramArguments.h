// The program's command line as the portable command-line parser takes it: the arguments after
// the program's name, in UTF-8, from the wide command line (GetCommandLineW), so that a folder
// named outside the ANSI code page arrives whole.
#pragma once

#include <string>
#include <string_view>

// What follows the program's name on commandLine, found as the C runtime finds it for WinMain:
// the name ends at the first blank or control character outside double quotes; the blanks after
// it are skipped.
std::wstring_view SkipProgramName(std::wstring_view commandLine);

// This process's arguments (GetCommandLineW without the program's name) in UTF-8.
std::string ProgramArguments();
