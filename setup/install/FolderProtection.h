// Folders that users other than administrators can change must not hold what administrators and
// deployment tools later run elevated (the uninstaller, Vellumor). Before anything is written,
// every existing installation folder and every existing folder above one is checked, and one that
// others can change refuses the installation, unless an earlier installation made it (the registry
// records that), which gets the protected access instead, so that an update never breaks. The
// folders the installation makes get the protected access wherever what they would inherit lets
// others change them: not inside Program Files and its like, which protect what is below them.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

class TFiles;
class TRunNotes;
struct TInstallPorts;

// The folders that the installations the registry records made: each one's own folders and every
// folder from the one recorded as created above it down to them.
class TFoldersMadeEarlier {
public:
    static TFoldersMadeEarlier Read(const TInstallPorts& ports);
    // From the outermost folder made down to the installation's folder.
    void Add(const std::string& outermost, const std::string& folder);
    bool Holds(const std::string& folder) const;

private:
    std::vector<std::pair<std::string, std::string>> Chains;
};

// The message naming the first existing folder, from each of folders up to its drive's root, that
// others can change and that no earlier installation made; nothing when there is none.
std::optional<std::string> RefuseChangeableFolders(TFiles& files, const std::vector<std::string>& folders,
                                                   const TFoldersMadeEarlier& madeEarlier);

// Makes folder and its missing parents, outermost first, giving each one made the protected access
// when its inherited access lets others change it, and each existing one that an earlier
// installation made the protected access too. Raises EInOutError naming a folder it cannot make or
// protect.
void MakeProtectedFolder(TFiles& files, const std::string& folder, const TFoldersMadeEarlier& madeEarlier,
                         const TRunNotes& note);
