// The uninstaller's decisions and their order: files first, then shortcuts and the group, the
// registry, and the folders last (deepest first), so that every folder is as empty as it gets.
#include "setup/uninstall/Uninstaller.h"

#include "platform/FileStream.h"
#include "setup/FormPorts.h"
#include "setup/PathText.h"
#include "setup/unattended/CommandLine.h"
#include "setup/unattended/InstallLog.h"

#include <algorithm>

namespace {

const char* const UninstallKeyRoot = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char* const UserFiles[] = {"velmor.pvm", "velmor.pvl"};
// Emptied keys go from the innermost outwards, as long as they are empty.
const char* const KeysToPrune[] = {"Software\\Parlavox\\Vellumor\\4.0", "Software\\Parlavox\\Vellumor",
                                   "Software\\Parlavox"};

bool IsSameOrAbove(const std::string& folder, const std::string& path) {
    if (SameText(folder, path)) return true;
    const std::string prefix = folder.back() == '\\' ? folder : folder + "\\";
    return path.size() > prefix.size() && SameText(path.substr(0, prefix.size()), prefix);
}

size_t Depth(const std::string& path) {
    return static_cast<size_t>(std::count(path.begin(), path.end(), '\\'));
}

} // namespace

void TUninstaller::Note(const std::string& line) {
    if (Log) Log->Write(line);
}

TUninstallOutcome TUninstaller::Run(const std::string& directory, bool silent) {
    TUninstallOutcome outcome;
    const std::string recordPath = directory + "\\" + RecordName;
    TUninstallRecord record;
    try {
        std::unique_ptr<TStream> stream = Desktop.OpenFileRead(recordPath);
        const std::vector<uint8_t> bytes = ReadAll(*stream);
        record = TUninstallRecord::Parse(std::string(bytes.begin(), bytes.end()));
    } catch (const std::exception& e) {
        const std::string message = "Cannot read the uninstall record " + recordPath + ": " + e.what();
        Note("Error: " + message);
        if (!silent) Desktop.MessageDlg(message, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        return outcome;
    }

    if (!silent) {
        const std::string question = "Remove " + record.DisplayName + " and its files?";
        Note("Question: " + question);
        if (Desktop.MessageDlg(question, TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo) !=
            TModalResult::mrYes) {
            Note("Answer: No");
            return outcome;
        }
        Note("Answer: Yes");
    }
    outcome.Removed = true;

    // Who else uses this Vellumor, and whether any dictionary stays at all.
    bool lastOfVellumor = true, lastOverall = true;
    for (const auto& [name, vellumor] : Desktop.ReadMachineRegistryStrings(VellumorUsersKey)) {
        if (SameText(name, record.KeyName)) continue;
        lastOverall = false;
        if (SameText(vellumor, record.VellumorDirectory)) lastOfVellumor = false;
    }
    Note(std::string("Vellumor ") +
         (lastOfVellumor ? "has no other dictionary: removed too" : "stays for other dictionaries"));

    RemoveFiles(record, lastOfVellumor);
    if (Desktop.RemoveFile(recordPath)) Note("Removed: " + recordPath);
    if (lastOverall) {
        for (const std::string& shortcut : record.Shortcuts)
            if (Desktop.FileExists(shortcut) && Desktop.RemoveFile(shortcut)) Note("Removed: " + shortcut);
        if (!record.ProgramGroup.empty() && Desktop.RemoveEmptyDirectory(record.ProgramGroup))
            Note("Removed folder: " + record.ProgramGroup);
    }
    RemoveFromRegistry(record, lastOfVellumor, lastOverall);
    RemoveFolders(record, directory, lastOverall, outcome);

    std::string message = record.DisplayName + " was removed.";
    if (!Kept.empty()) {
        message += "\n\nThese files were kept:";
        for (const std::string& kept : Kept) {
            message += "\n" + kept;
            Note("Kept: " + kept);
        }
    }
    Note(message.substr(0, message.find('\n')));
    if (!silent) Desktop.MessageDlg(message, TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
    outcome.ExitCode = Failed ? ExitFailure : ExitSuccess;
    return outcome;
}

void TUninstaller::RemoveFiles(const TUninstallRecord& record, bool lastOfVellumor) {
    for (const TRecordedFile& file : record.Files) {
        if (file.Part == TRecordPart::Vellumor && !lastOfVellumor) continue;
        if (!Desktop.FileExists(file.Path)) continue;
        const std::string name = ExtractFileName(file.Path);
        if (std::any_of(std::begin(UserFiles), std::end(UserFiles),
                        [&](const char* user) { return SameText(name, user); })) {
            Kept.push_back(file.Path + " (your file)");
            continue;
        }
        const std::optional<TFileDigest> digest = DigestFile(Desktop, file.Path, DigestBuffer);
        if (!digest || digest->Size != file.Size || digest->Checksum != file.Checksum) {
            Kept.push_back(file.Path + " (changed since it was installed)");
            continue;
        }
        if (Desktop.RemoveFile(file.Path)) {
            Note("Removed: " + file.Path);
        } else {
            Kept.push_back(file.Path + " (could not be removed)");
            Failed = true;
        }
    }
}

void TUninstaller::RemoveFromRegistry(const TUninstallRecord& record, bool lastOfVellumor, bool lastOverall) {
    if (Desktop.DeleteMachineRegistryKey(UninstallKeyRoot + record.KeyName, false))
        Note("Removed: HKLM\\" + std::string(UninstallKeyRoot) + record.KeyName);
    Desktop.DeleteMachineRegistryValue(VellumorUsersKey, record.KeyName);
    if (lastOfVellumor) {
        // A value that a later installation elsewhere has changed belongs to that installation.
        for (const TRecordedValue& value : record.Values) {
            const std::optional<std::string> now = Desktop.ReadMachineRegistryString(value.Key, value.Name);
            if (now && SameText(*now, value.Data) &&
                Desktop.DeleteMachineRegistryValue(value.Key, value.Name))
                Note("Removed: HKLM\\" + value.Key + " " + value.Name);
        }
    }
    if (lastOverall) Desktop.DeleteMachineRegistryKey(VellumorUsersKey, false);
}

void TUninstaller::RemoveFolders(const TUninstallRecord& record, const std::string& directory,
                                 bool lastOverall, TUninstallOutcome& outcome) {
    std::vector<std::string> folders;
    auto add = [&folders](const std::string& folder) {
        if (std::none_of(folders.begin(), folders.end(),
                         [&](const std::string& f) { return SameText(f, folder); }))
            folders.push_back(folder);
    };
    for (const TRecordedFolder& folder : record.Folders) add(folder.Path);
    for (const auto& [folder, unused] : Desktop.ReadMachineRegistryStrings(LeftFoldersKey)) add(folder);
    std::stable_sort(folders.begin(), folders.end(),
                     [](const std::string& a, const std::string& b) { return Depth(a) > Depth(b); });

    for (const std::string& folder : folders) {
        if (!Desktop.DirectoryExists(folder)) {
            Desktop.DeleteMachineRegistryValue(LeftFoldersKey, folder);
            continue;
        }
        const bool holdsUninstaller = IsSameOrAbove(folder, directory);
        if (holdsUninstaller) outcome.FoldersAfterSelf.push_back(folder);
        if (!holdsUninstaller && Desktop.RemoveEmptyDirectory(folder)) {
            Note("Removed folder: " + folder);
            Desktop.DeleteMachineRegistryValue(LeftFoldersKey, folder);
        } else if (!lastOverall && !SameText(folder, directory)) {
            // Still in use: the dictionary that is uninstalled last removes it. The uninstaller's
            // own folder goes with the uninstaller.
            Desktop.WriteMachineRegistryString(LeftFoldersKey, folder, "");
        }
    }
    if (lastOverall) Desktop.DeleteMachineRegistryKey(LeftFoldersKey, false);
    for (const char* key : KeysToPrune)
        if (!Desktop.DeleteMachineRegistryKey(key, true)) break;
}
