// File names as the archive component handles them: single-byte text compared ignoring the case
// of the letters A to Z only (other bytes of the code page compare exactly), "\" or "/" ending a
// folder.
#pragma once

#include <string>

// Equality ignoring the case of A to Z.
bool SameFileName(const std::string& a, const std::string& b);

// Everything up to and including the last separator; empty when there is none.
std::string FolderOf(const std::string& path);
