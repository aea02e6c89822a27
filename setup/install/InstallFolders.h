// The installation's folders as they follow from the Vellumor base folder: Vellumor one level below
// it in "VL", the dictionary by default in a folder named after it beside Vellumor's.
#pragma once

#include <string>

// BASE\VL, where Vellumor is installed.
std::string VellumorDirectoryBelow(const std::string& base);
// BASE\NAME, the dictionary folder until one is chosen.
std::string DictionaryDirectoryBelow(const std::string& base, const std::string& dictionaryName);
