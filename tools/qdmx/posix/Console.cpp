// On POSIX the arguments and the output take UTF-8 bytes as they are.
#include "tools/qdmx/Console.h"

namespace qdmx {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return {argv, argv + argc};
}

void WriteText(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

} // namespace qdmx
