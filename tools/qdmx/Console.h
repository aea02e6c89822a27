// The text qdmx exchanges with the system around it, UTF-8 inside: the arguments it is started
// with and what it writes to standard output and standard error. On Windows these cross in UTF-16
// (the command line from GetCommandLineW, text for a console through WriteConsoleW), since their ANSI forms
// would lose every character outside the machine's code page; on POSIX the bytes pass as they are.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#ifdef __MINGW32__
#define QDMX_PRINTF_LIKE __attribute__((format(gnu_printf, 2, 3)))
#else
#define QDMX_PRINTF_LIKE __attribute__((format(printf, 2, 3)))
#endif

namespace qdmx {

// The program's arguments, its name first, as UTF-8 (on Windows argv is ignored: it holds the
// arguments in the ANSI code page).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Writes UTF-8 text to stdout or stderr: to a Windows console as UTF-16, elsewhere (a file, a
// pipe, any POSIX output) as the bytes themselves.
void WriteText(std::FILE* stream, std::string_view text);
// printf into WriteText.
void PrintText(std::FILE* stream, const char* format, ...) QDMX_PRINTF_LIKE;

} // namespace qdmx
