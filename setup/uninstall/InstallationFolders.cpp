// The installation's folders from the registry, and the record's lines checked against them.
#include "setup/uninstall/InstallationFolders.h"

#include "setup/FormPorts.h"
#include "setup/InstalledPaths.h"
#include "setup/PathText.h"

namespace {

const char* const ProgramGroupName = "Parlavox";

// A key name taken from the record must name one key below the Uninstall key, not a path.
bool IsPlainKeyName(const std::string& name) {
    if (name.empty()) return false;
    for (char c : name)
        if (c == '\\' || static_cast<unsigned char>(c) < 0x20) return false;
    return true;
}

std::string Normalised(const std::optional<std::string>& path) {
    if (!path) return "";
    return NormalisedFullPath(*path).value_or("");
}

// A folder recorded as created above folder, when it really lies above it.
std::string CreatedAbove(TMachineRegistry& registry, const std::string& key, const char* value,
                         const std::string& folder) {
    const std::string above = Normalised(registry.ReadMachineRegistryString(key, value));
    return IsInsideFolder(above, folder) ? above : "";
}

} // namespace

std::optional<TInstallationFolders> TInstallationFolders::Read(TMachineRegistry& registry,
                                                               TUninstallShortcuts& shortcuts,
                                                               const std::string& keyName) {
    if (!IsPlainKeyName(keyName)) return std::nullopt;
    const std::string key = UninstallKeyRoot + keyName;
    TInstallationFolders folders;
    folders.Dictionary = Normalised(registry.ReadMachineRegistryString(key, "InstallLocation"));
    if (folders.Dictionary.empty()) return std::nullopt;
    folders.Vellumor = Normalised(registry.ReadMachineRegistryString(VellumorUsersKey, keyName));
    folders.CreatedAboveDictionary =
        CreatedAbove(registry, key, CreatedAboveDictionaryValue, folders.Dictionary);
    if (!folders.Vellumor.empty())
        folders.CreatedAboveVellumor =
            CreatedAbove(registry, key, CreatedAboveVellumorValue, folders.Vellumor);
    const std::string programs = shortcuts.ProgramsFolder();
    if (!programs.empty()) folders.ProgramGroup = Normalised(programs + "\\" + ProgramGroupName);
    return folders;
}

std::optional<TRecordPart> TInstallationFolders::PartOf(const std::string& path, TRecordPart recorded) const {
    const bool inDictionary = IsInsideFolder(Dictionary, path), inVellumor = IsInsideFolder(Vellumor, path);
    if (inDictionary && inVellumor) {
        if (IsSamePath(Dictionary, Vellumor)) return recorded;
        return IsInsideFolder(Dictionary, Vellumor) ? TRecordPart::Vellumor : TRecordPart::Dictionary;
    }
    if (inDictionary) return TRecordPart::Dictionary;
    if (inVellumor) return TRecordPart::Vellumor;
    return std::nullopt;
}

bool TInstallationFolders::HoldsFolder(const std::string& path) const {
    return IsFolderOrInside(Dictionary, path) || IsFolderOrInside(Vellumor, path) ||
           (IsInsideFolder(path, Dictionary) && IsFolderOrInside(CreatedAboveDictionary, path)) ||
           (IsInsideFolder(path, Vellumor) && IsFolderOrInside(CreatedAboveVellumor, path));
}

bool TInstallationFolders::HoldsShortcut(const std::string& path) const {
    return IsInsideFolder(ProgramGroup, path) && IsSamePath(ProgramGroup, ExtractFileDir(path)) &&
           SameText(ExtractFileExt(path), ".lnk");
}

TUninstallRecord ConfirmRecord(const TUninstallRecord& record, const TInstallationFolders& folders,
                               const std::function<void(const std::string&)>& skipped) {
    TUninstallRecord confirmed;
    confirmed.KeyName = record.KeyName;
    confirmed.DisplayName = record.DisplayName;
    confirmed.DictionaryDirectory = folders.Dictionary;
    confirmed.VellumorDirectory = folders.Vellumor;
    confirmed.ProgramGroup = folders.ProgramGroup;
    auto skip = [&](const char* kind, const std::string& text, const std::string& why) {
        skipped("Skipped " + std::string(kind) + " line: " + text + " (" + why + ")");
    };
    if (!IsSamePath(record.DictionaryDirectory, folders.Dictionary))
        skip("dictionary", record.DictionaryDirectory, "the registry records " + folders.Dictionary);
    if (!IsSamePath(record.VellumorDirectory, folders.Vellumor))
        skip("vellumor", record.VellumorDirectory,
             "the registry records " + (folders.Vellumor.empty() ? "none" : folders.Vellumor));
    if (!record.ProgramGroup.empty() && !IsSamePath(record.ProgramGroup, folders.ProgramGroup))
        skip("group", record.ProgramGroup, "not the Start-menu group " + folders.ProgramGroup);

    for (const TRecordedFile& file : record.Files) {
        const std::optional<TRecordPart> part = folders.PartOf(file.Path, file.Part);
        if (part)
            confirmed.Files.push_back({*part, *NormalisedFullPath(file.Path), file.Size, file.Checksum});
        else
            skip("file", file.Path, "outside the installation's folders");
    }
    for (const TRecordedFolder& folder : record.Folders) {
        if (folders.HoldsFolder(folder.Path))
            confirmed.Folders.push_back({folder.Part, *NormalisedFullPath(folder.Path)});
        else
            skip("folder", folder.Path, "not one of the installation's folders");
    }
    for (const std::string& shortcut : record.Shortcuts) {
        if (folders.HoldsShortcut(shortcut))
            confirmed.Shortcuts.push_back(*NormalisedFullPath(shortcut));
        else
            skip("shortcut", shortcut, "not in the Start-menu group");
    }
    for (const TRecordedValue& value : record.Values) {
        if (SameText(value.Key, VellumorRegistryKey) && SameText(value.Name, VellumorRegistryValue) &&
            IsSamePath(value.Data, folders.Vellumor))
            confirmed.Values.push_back(value);
        else
            skip("value", "HKLM\\" + value.Key + " " + value.Name, "not a value this setup writes");
    }
    return confirmed;
}

std::string OutermostAbove(const std::string& folder, const std::vector<std::string>& candidates) {
    std::string outermost;
    for (const std::string& candidate : candidates)
        if (IsInsideFolder(candidate, folder) && (outermost.empty() || IsInsideFolder(candidate, outermost)))
            outermost = *NormalisedFullPath(candidate);
    return outermost;
}
