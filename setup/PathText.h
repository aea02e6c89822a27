// Path and name helpers of the wizard, on Windows paths held as single-byte text: "\" and ":"
// end a directory part, "." starts an extension, and names compare ignoring the case of the
// letters A to Z only (other bytes of the code page compare exactly).
#pragma once

#include <string>

// The part after the last "\" or ":".
std::string ExtractFileName(const std::string& path);
// The part of the file name from its last "." on; empty when the file name has no point.
std::string ExtractFileExt(const std::string& path);
// The directory part without its trailing "\", except for a root such as "C:\".
std::string ExtractFileDir(const std::string& path);
// Equality ignoring the case of A to Z.
bool SameText(const std::string& a, const std::string& b);
// The path without trailing "\", except for the one of a drive's root ("C:\").
std::string TrimTrailingBackslashes(std::string path);
