// Case of the ASCII letters A to Z only. Windows compares file, member and device names this way
// for the characters that matter here, and the result must not depend on the C library's locale;
// bytes outside A-Z and a-z (those of other code pages too) keep their value.
#pragma once

#include <algorithm>
#include <string_view>

constexpr bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

constexpr char ToUpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char ToLowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// a and b are equal once A-Z and a-z are folded to one case.
constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return ToUpperAscii(x) == ToUpperAscii(y);
           });
}
