// Which member names may be written below a target folder. The archive component itself writes a
// name with a leading backslash at the root of the drive, as callers of the format may expect;
// programs that must not write outside their folder (qdmx extract, the setup programs) check
// each name with these rules first.
#pragma once

#include <string>

enum class TNameRules {
    // Names that escape on every system: absolute, with a drive, with a ".." component, or empty.
    Portable,
    // Also names Windows does not take as a plain file of the folder: a component naming a
    // device (CON, NUL, COM1, aux.txt, ...), a data stream (any ':'), holding control
    // characters.
    Windows,
};

// The rules of the system the program runs on.
constexpr TNameRules HostNameRules =
#ifdef _WIN32
    TNameRules::Windows;
#else
    TNameRules::Portable;
#endif

// True for a name that would not stay a file below the target folder under the given rules. A
// leading '\' or '/' (which includes UNC prefixes and "\\?\" forms) makes a name absolute; both
// separate components.
bool IsEscapingMemberName(const std::string& name, TNameRules rules);
