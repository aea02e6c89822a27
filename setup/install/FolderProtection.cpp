// The check and the protection of the installation's folders (FolderProtection.h).
#include "setup/install/FolderProtection.h"

#include "platform/Exception.h"
#include "setup/FormPorts.h"
#include "setup/InstalledPaths.h"
#include "setup/PathText.h"
#include "setup/UninstallRecord.h"
#include "setup/unattended/InstallLog.h"
#include "setup/uninstall/InstallationFolders.h"

#include <algorithm>

namespace {

// folder and every folder above it, innermost first.
std::vector<std::string> FolderAndAbove(const std::string& folder) {
    std::vector<std::string> levels;
    for (std::string at = TrimTrailingBackslashes(folder); !at.empty();) {
        levels.push_back(at);
        const std::string parent = TrimTrailingBackslashes(ExtractFileDir(at));
        if (parent == at) break;
        at = parent;
    }
    return levels;
}

} // namespace

TFoldersMadeEarlier TFoldersMadeEarlier::Read(const TInstallPorts& ports) {
    TFoldersMadeEarlier made;
    for (const auto& [keyName, vellumor] : ports.Registry.ReadMachineRegistryStrings(VellumorUsersKey)) {
        const std::optional<TInstallationFolders> folders =
            TInstallationFolders::Read(ports.Registry, ports.Shortcuts, keyName);
        if (!folders) continue;
        made.Add(folders->CreatedAboveDictionary, folders->Dictionary);
        made.Add(folders->CreatedAboveVellumor, folders->Vellumor);
    }
    return made;
}

void TFoldersMadeEarlier::Add(const std::string& outermost, const std::string& folder) {
    if (folder.empty()) return;
    Chains.emplace_back(outermost.empty() ? folder : outermost, folder);
}

bool TFoldersMadeEarlier::Holds(const std::string& folder) const {
    return std::any_of(Chains.begin(), Chains.end(), [&](const auto& chain) {
        return IsFolderOrInside(chain.first, folder) && IsFolderOrInside(folder, chain.second);
    });
}

std::optional<std::string> RefuseChangeableFolders(TFiles& files, const std::vector<std::string>& folders,
                                                   const TFoldersMadeEarlier& madeEarlier) {
    for (const std::string& folder : folders) {
        const std::vector<std::string> levels = FolderAndAbove(folder);
        for (const std::string& at : levels) {
            // Only what exists can have been prepared by someone else. Others may add entries to
            // a folder above (a drive's root lets them): the installation adds only its own folder
            // there, which it protects.
            const bool installationFolder = &at == &levels.front();
            if (files.DirectoryExists(at) && !madeEarlier.Holds(at) &&
                files.OthersCanChange(at, installationFolder))
                return "The folder \"" + at +
                       "\" can be changed by users who are not administrators, so what the setup "
                       "installs there could be replaced. Choose another folder, or let only "
                       "administrators change it.";
        }
    }
    return std::nullopt;
}

void MakeProtectedFolder(TFiles& files, const std::string& folder, const TFoldersMadeEarlier& madeEarlier,
                         const TRunNotes& note) {
    std::vector<std::string> levels = FolderAndAbove(folder);
    std::reverse(levels.begin(), levels.end());
    for (const std::string& at : levels) {
        bool protect = false;
        if (files.DirectoryExists(at)) {
            protect = madeEarlier.Holds(at) && files.OthersCanChange(at, true);
        } else {
            if (!files.MakeDirectory(at)) throw EInOutError("Cannot create the folder " + at);
            protect = files.OthersCanChange(at, true);
        }
        if (!protect) continue;
        if (!files.ProtectFolder(at)) throw EInOutError("Cannot set the access of the folder " + at);
        note("Protected: " + at + " (only administrators may change it)");
    }
}
