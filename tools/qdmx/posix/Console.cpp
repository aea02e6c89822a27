// On POSIX the arguments, the output and the shell all take UTF-8 bytes as they are.
#include "tools/qdmx/Console.h"

#include <cstdlib>

namespace qdmx {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return {argv, argv + argc};
}

void WriteText(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

int RunCommandLine(const std::string& line) {
    return std::system(line.c_str());
}

} // namespace qdmx
