// Method names of the command line (none, rle, lzh, lh5) and their method indexes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

std::optional<uint8_t> MethodIndexOfName(const std::string& name);
const char* MethodNameOfIndex(uint8_t index);
// Whether this build has a codec for the method in the given direction (0 compress, 1 expand).
bool MethodAvailable(uint8_t index, bool expanding);
