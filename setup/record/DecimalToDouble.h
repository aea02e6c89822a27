// Decimal notation to the nearest double, rounded exactly (ties to even) for any number of digits,
// with nothing but integer arithmetic: no locale, and none of the runtime's general conversion,
// which would make up a tenth of the setup programs.
#pragma once

#include <optional>
#include <string_view>

// text: [sign] digits [. digits] [(e|E) [sign] digits] with at least one mantissa digit, checked
// by the caller. Empty when the value is beyond the largest double or so small that it rounds
// to zero (an exact zero is zero).
std::optional<double> DecimalToDouble(std::string_view text);
