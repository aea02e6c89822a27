// Who may change a folder, read from its security descriptor with the system's functions, and the
// protected access a folder is given (ProtectedAccess.h).
#pragma once

#include <string>

// See TFiles::OthersCanChange.
bool OthersCanChangeFolder(const std::string& path, bool entries);
// See TFiles::ProtectFolder.
bool ProtectFolderAccess(const std::string& path);
