// Member names as qdmx makes and checks them, and the parsing of keys.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qdmx {

// True for a name that would leave the target directory: an absolute name (leading '\' or '/',
// which includes UNC prefixes, or a drive letter and colon), a name with a ".." component, and
// the empty name (which names the target directory itself). On Windows also a name with a
// component that names a device (CON, NUL, COM1, ...), a data stream (a ':') or holds control
// characters.
bool IsUnsafeMemberName(const std::string& name);

// The member name of a path given on the command line: its components joined with backslashes,
// without "." components and without a root (rootStripped tells that one was dropped). nullopt
// when a component is "..".
std::optional<std::string> MemberNameOfPath(const std::string& path, bool& rootStripped);

// A key from the command line: decimal or 0x-prefixed hexadecimal, from -2147483648 to
// 4294967295 (values above 2^31 - 1 are taken modulo 2^32). nullopt when malformed or 0.
std::optional<int32_t> ParseKey(const std::string& text);

} // namespace qdmx
