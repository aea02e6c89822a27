// What the administrator-only registry (HKEY_LOCAL_MACHINE) says one installation owns, and the
// reading of an uninstall record against it. The record lies in the dictionary's folder, which
// may be writable by any user, so none of its lines is taken on trust: a file counts only inside
// the dictionary's folder or the Vellumor folder that the registry records for the installation,
// a folder only as one of those, below them or created above them (as the registry records), a
// shortcut only in the Start-menu group computed from the Programs folder, and a registry value
// only as the one value this setup writes outside its own keys.
#pragma once

#include "setup/UninstallRecord.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class TMachineRegistry;
class TUninstallShortcuts;

struct TInstallationFolders {
    std::string Dictionary; // the Uninstall key's InstallLocation
    std::string Vellumor;   // the installation's value below VellumorUsersKey; empty: none
    // The outermost folder the installation created above each; empty: none.
    std::string CreatedAboveDictionary, CreatedAboveVellumor;
    std::string ProgramGroup; // the Programs folder's "Parlavox"; empty without a Programs folder

    // All in normalised form; nothing when the registry records no installation under keyName or
    // its InstallLocation is not a full path.
    static std::optional<TInstallationFolders>
    Read(TMachineRegistry& registry, TUninstallShortcuts& shortcuts, const std::string& keyName);

    // The part a file belongs to by where it lies: the deeper of the two folders when one holds
    // the other, recorded when both are the same folder; nothing outside both.
    std::optional<TRecordPart> PartOf(const std::string& path, TRecordPart recorded) const;
    bool HoldsFolder(const std::string& path) const;
    // A shortcut (".lnk") directly in the program group.
    bool HoldsShortcut(const std::string& path) const;
};

// The entries of record that folders confirms, with normalised paths and each file given the part
// of the folder it lies in; the directory and group lines are replaced by the registry's. Every
// other line is named through skipped ("Skipped file line: PATH (why)").
TUninstallRecord ConfirmRecord(const TUninstallRecord& record, const TInstallationFolders& folders,
                               const std::function<void(const std::string&)>& skipped);

// The outermost of candidates that lies above folder; empty when none does.
std::string OutermostAbove(const std::string& folder, const std::vector<std::string>& candidates);
