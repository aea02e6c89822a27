// The installation's folders and their check.
#include "setup/install/InstallFolders.h"

#include "setup/InstalledPaths.h"

namespace {

// FOLDER\NAME without a doubled separator after a folder that ends in one.
std::string Below(const std::string& folder, const std::string& name) {
    const bool endsInSeparator = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
    return folder + (endsInSeparator ? "" : "\\") + name;
}

std::optional<std::string> RefuseFolder(const char* role, const std::string& folder, bool mayBeRoot) {
    const std::string choose = " Choose another folder.";
    if (folder.empty()) return "No " + std::string(role) + " folder is given. Choose a folder.";
    const std::string named = "The " + std::string(role) + " folder \"" + folder + "\" cannot be used: ";
    if (const std::optional<std::string> fault = FullPathFault(folder)) return named + *fault + "." + choose;
    const std::string normal = NormalisedFullPath(folder).value_or("");
    const bool root = normal == "/" || (normal.size() == 3 && normal[1] == ':');
    if (!mayBeRoot && root)
        return named + "it is a drive's root, and the installation needs a folder of its own." + choose;
    return std::nullopt;
}

} // namespace

std::string VellumorDirectoryBelow(const std::string& base) {
    return Below(base, "VL");
}

std::string DictionaryDirectoryBelow(const std::string& base, const std::string& dictionaryName) {
    return Below(base, dictionaryName);
}

std::optional<std::string> RefuseBaseFolder(const std::string& base) {
    if (std::optional<std::string> refusal = RefuseFolder("Vellumor", base, true)) return refusal;
    return RefuseFolder("Vellumor", VellumorDirectoryBelow(base), false);
}

std::optional<std::string> RefuseDictionaryFolder(const std::string& folder) {
    return RefuseFolder("dictionary", folder, false);
}

std::optional<std::string> RefuseInstallFolders(const TInstallRequest& request) {
    if (std::optional<std::string> refusal = RefuseBaseFolder(request.BaseDirectory)) return refusal;
    return RefuseDictionaryFolder(request.DictionaryDirectory);
}
