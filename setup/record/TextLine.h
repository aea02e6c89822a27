// Reading the first line of a text: the bytes up to the first carriage return or line feed, or
// to the end when there is none.
#pragma once

#include "platform/Stream.h"

#include <string>

std::string ReadFirstLine(TStream& stream);
