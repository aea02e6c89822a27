// The Windows side of qdmx's text: the wide command line, WriteConsoleW for a console (the
// console would read bytes in its own code page, which is rarely UTF-8).
#include "tools/qdmx/Console.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <algorithm>
#include <io.h>
#include <shellapi.h>

namespace qdmx {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return {argv, argv + argc};
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) arguments.push_back(WideToUtf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

void WriteText(std::FILE* stream, std::string_view text) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        std::fwrite(text.data(), 1, text.size(), stream);
        return;
    }
    // What the stream still holds goes first, so that the lines keep their order.
    std::fflush(stream);
    const std::wstring wide = Utf8ToWide(text);
    for (size_t done = 0; done < wide.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 16384));
        DWORD written = 0;
        if (!WriteConsoleW(handle, wide.data() + done, chunk, &written, nullptr) || written == 0) return;
        done += written;
    }
}

} // namespace qdmx
