// Writing key=value into a section of an initialization file (the project mark), through
// WritePrivateProfileStringW where the system's call can take the path, and by editing the file's
// text where it cannot: the profile calls take no path of MAX_PATH characters or more, and under
// Wine they even report success for one while writing nothing.
#pragma once

#include <string>

// False when the file cannot be read or written, or is UTF-16 text with a path too long for the
// system's call.
bool WriteProfileValue(const std::string& section, const std::string& key, const std::string& value,
                       const std::string& fileName);

// text (an initialization file in an 8-bit encoding) with key=value in section, as the system's
// profile calls write it: names compared without the case of A-Z and without the blanks around
// them; an existing key's line replaced, a missing key after the section's last line, a missing
// section at the end; a last line without its line end gets one.
std::string WithProfileValue(std::string text, const std::string& section, const std::string& key,
                             const std::string& value);
