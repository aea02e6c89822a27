// The installation's folders as they follow from the Vellumor base folder (Vellumor one level
// below it in "VL", the dictionary by default in a folder named after it beside Vellumor's), and
// the check of every folder an installation is asked to use, before anything is written, with the
// rules the uninstaller applies to its record (InstalledPaths.h): a folder the uninstaller would
// refuse, the setup refuses to install into.
#pragma once

#include "setup/install/InstallRequest.h"

#include <optional>
#include <string>

// BASE\VL, where Vellumor is installed. A base that ends in "\" (a drive's root) gets no second one.
std::string VellumorDirectoryBelow(const std::string& base);
// BASE\NAME, the dictionary folder until one is chosen; the same for a base that ends in "\".
std::string DictionaryDirectoryBelow(const std::string& base, const std::string& dictionaryName);

// The Vellumor base folder (it may be a drive's root) and the VL folder below it: nothing when both
// may be used, else the message that names the folder and what is wrong with it.
std::optional<std::string> RefuseBaseFolder(const std::string& base);
// The same for the dictionary folder, which may not be a drive's root: the uninstall of an
// installation that owned a whole drive would remove nothing.
std::optional<std::string> RefuseDictionaryFolder(const std::string& folder);
// Every folder of the request, the base's first.
std::optional<std::string> RefuseInstallFolders(const TInstallRequest& request);
