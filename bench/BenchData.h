// Generated inputs for the in-process codec benchmark: the same bytes on every run and machine,
// so figures from different builds compare. "Text" is word-like prose with a skewed vocabulary,
// which rewards dictionary matches the way real documents do; "binary" imitates compiled code
// and tables (little-endian counters, short opcodes, padding, a share of noise).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

std::vector<uint8_t> GeneratedText(size_t size, uint32_t seed);
std::vector<uint8_t> GeneratedBinary(size_t size, uint32_t seed);
