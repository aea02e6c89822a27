// Reading the first line of a text: the bytes up to the first carriage return or line feed, or
// to the end when there is none.
#pragma once

#include "platform/Stream.h"

#include <cstddef>
#include <string>

// The longest first line the setup reads: a support record is one line of at most this many bytes
// (qdmx make-setup refuses a longer one), so a larger file is never read whole.
constexpr size_t MaxFirstLineLength = 65536;

// Raises EInOutError when the line is longer than maxLength bytes.
std::string ReadFirstLine(TStream& stream, size_t maxLength = MaxFirstLineLength);
