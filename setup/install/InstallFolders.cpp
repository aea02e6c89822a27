// The installation's folders.
#include "setup/install/InstallFolders.h"

std::string VellumorDirectoryBelow(const std::string& base) {
    return base + "\\VL";
}

std::string DictionaryDirectoryBelow(const std::string& base, const std::string& dictionaryName) {
    return base + "\\" + dictionaryName;
}
