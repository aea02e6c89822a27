// std::filesystem paths to and from the UTF-8 strings that qdmx holds. A path made from a
// std::string takes it in the ANSI code page on Windows (and gives it back so), which would lose
// every character outside that code page; a char8_t string is UTF-8 on every system.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qdmx {

inline std::filesystem::path PathOfUtf8(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// On POSIX the name's bytes as they are, UTF-8 or not.
inline std::string Utf8OfPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace qdmx
