// Text is UTF-8 inside every program. What arrives in another encoding (a member name written
// without the UTF-8 mark, a support record saved in a Windows ANSI code page) is converted here,
// once, where it enters.
#pragma once

#include <string>
#include <string_view>

// The Windows code page the machine's programs use for single- and multi-byte text: the system
// locale's ANSI code page on Windows (what GetACP() gives a program without the UTF-8 manifest
// setting); elsewhere 1252 (Western Europe), which is what the archives and records of the
// original setup tools were written in on the machines they were made for.
unsigned AnsiCodePage();

// True when every byte is below 0x80.
bool IsAscii(std::string_view text);

// True when text is well-formed UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// text, encoded in the Windows code page codePage, as UTF-8. A byte or byte pair the code page
// does not define becomes U+FFFD, so the result is always valid UTF-8. Raises Exception when the
// machine cannot convert that code page.
std::string CodePageToUtf8(std::string_view text, unsigned codePage);
