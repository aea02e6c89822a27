// The uninstaller's decisions and their order: files first, then shortcuts and the group, the
// registry, and the folders last (deepest first), so that every folder is as empty as it gets.
#include "setup/uninstall/Uninstaller.h"

#include "platform/files/FileStream.h"
#include "setup/FormPorts.h"
#include "setup/InstalledPaths.h"
#include "setup/PathText.h"
#include "setup/unattended/CommandLine.h"
#include "setup/unattended/InstallLog.h"

#include <algorithm>

namespace {

const char* const UserFiles[] = {"velmor.pvm", "velmor.pvl"};
// Emptied keys go from the innermost outwards, as long as they are empty.
const char* const KeysToPrune[] = {"Software\\Parlavox\\Vellumor\\4.0", "Software\\Parlavox\\Vellumor",
                                   "Software\\Parlavox"};

bool IsUserFile(const std::string& path) {
    const std::string name = ExtractFileName(path);
    return std::any_of(std::begin(UserFiles), std::end(UserFiles),
                       [&](const char* user) { return SameText(name, user); });
}

bool Matches(const std::optional<TFileDigest>& digest, int64_t size, uint32_t checksum) {
    return digest && digest->Size == size && digest->Checksum == checksum;
}

// A file that may go, with every digest under which an installation wrote it.
struct TRemovable {
    std::string Path;
    std::string Folder; // the installation's folder it lies in
    std::vector<TFileDigest> Digests;
};

size_t Depth(const std::string& path) {
    return static_cast<size_t>(std::count(path.begin(), path.end(), '\\'));
}

} // namespace

void TUninstaller::Note(const std::string& line) {
    if (Log) Log->Write(line);
}

TUninstallOutcome TUninstaller::Run(const std::string& directory, bool silent, bool closePrograms) {
    TUninstallOutcome outcome;
    Silent = silent;
    CloseAnswer = closePrograms;
    const std::string recordPath = directory + "\\" + RecordName;
    TUninstallRecord written;
    try {
        std::unique_ptr<TStream> stream = Ports.Files.OpenFileRead(recordPath);
        const std::vector<uint8_t> bytes = ReadAll(*stream);
        written = TUninstallRecord::Parse(std::string(bytes.begin(), bytes.end()));
    } catch (const std::exception& e) {
        const std::string message = "Cannot read the uninstall record " + recordPath + ": " + e.what();
        Note("Error: " + message);
        if (!silent) Ports.Dialogs.MessageDlg(message, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        return outcome;
    }

    // Where the installation lies, the registry says: only administrators can change it. The
    // record, in a folder that may be the user's, only lists what was written there.
    const std::optional<TInstallationFolders> folders =
        TInstallationFolders::Read(Ports.Registry, Ports.Shortcuts, written.KeyName);
    if (!folders || !IsSamePath(folders->Dictionary, directory)) {
        const std::string message =
            "The registry records no installation of " + written.DisplayName + " in " + directory;
        Note("Error: " + message);
        if (!silent) Ports.Dialogs.MessageDlg(message, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        return outcome;
    }

    if (!silent) {
        const std::string question = "Remove " + written.DisplayName + " and its files?";
        Note("Question: " + question);
        if (Ports.Dialogs.MessageDlg(question, TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo) !=
            TModalResult::mrYes) {
            Note("Answer: No");
            return outcome;
        }
        Note("Answer: Yes");
    }
    outcome.Removed = true;
    const TUninstallRecord record =
        ConfirmRecord(written, *folders, [this](const std::string& line) { Note(line); });

    // Who else uses this Vellumor, and whether any dictionary stays at all.
    bool lastOfVellumor = true, lastOverall = true;
    for (const auto& [name, vellumor] : Ports.Registry.ReadMachineRegistryStrings(VellumorUsersKey)) {
        if (SameText(name, record.KeyName)) continue;
        lastOverall = false;
        if (IsSamePath(vellumor, record.VellumorDirectory)) lastOfVellumor = false;
    }
    Note(std::string("Vellumor ") +
         (lastOfVellumor ? "has no other dictionary: removed too" : "stays for other dictionaries"));

    RemoveFiles(record, lastOfVellumor, lastOverall);
    if (Failed) {
        // A file that neither went nor waits for the restart: without the record and the
        // registration no later uninstall would find it.
        std::string message = record.DisplayName + " was not removed completely.\n\nThese files are left:";
        for (const std::string& kept : Kept) {
            message += "\n" + kept;
            Note("Kept: " + kept);
        }
        message += "\n\nIts uninstaller stays: run it again once they can be removed.";
        Note("Error: " + record.DisplayName + " was not removed completely: it stays registered");
        if (!silent) Ports.Dialogs.MessageDlg(message, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        outcome.Removed = false;
        outcome.ExitCode = ExitFailure;
        return outcome;
    }
    if (Ports.Files.RemoveFile(recordPath) == TRemoveResult::Removed) Note("Removed: " + recordPath);
    if (lastOverall) {
        for (const std::string& shortcut : record.Shortcuts)
            if (Ports.Files.FileExists(shortcut) &&
                Ports.Files.RemoveFile(shortcut) == TRemoveResult::Removed)
                Note("Removed: " + shortcut);
        // The group computed from this user's Programs folder, whatever the record says.
        if (!record.ProgramGroup.empty() && Ports.Files.RemoveEmptyDirectory(record.ProgramGroup))
            Note("Removed folder: " + record.ProgramGroup);
    }
    RemoveFromRegistry(record, lastOfVellumor, lastOverall);
    RemoveFolders(record, directory, lastOverall, outcome);

    std::string message = record.DisplayName + " was removed.";
    if (!AtRestart.empty()) message += " Restart Windows to finish: files that were in use are removed then.";
    if (!Kept.empty()) {
        message += "\n\nThese files were kept:";
        for (const std::string& kept : Kept) {
            message += "\n" + kept;
            Note("Kept: " + kept);
        }
    }
    Note(message.substr(0, message.find('\n')));
    if (!silent) Ports.Dialogs.MessageDlg(message, TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
    outcome.ExitCode = Failed ? ExitFailure : !AtRestart.empty() ? ExitRestartNeeded : ExitSuccess;
    return outcome;
}

void TUninstaller::RemoveFiles(const TUninstallRecord& record, bool lastOfVellumor, bool lastOverall) {
    std::vector<TRemovable> files;
    auto add = [&files](const std::string& path, const std::string& folder, const TFileDigest& digest) {
        for (TRemovable& file : files)
            if (SameText(file.Path, path)) return file.Digests.push_back(digest);
        files.push_back({path, folder, {digest}});
    };
    for (const TRecordedFile& file : record.Files) {
        const std::string& folder =
            file.Part == TRecordPart::Vellumor ? record.VellumorDirectory : record.DictionaryDirectory;
        if (file.Part == TRecordPart::Vellumor && !lastOfVellumor)
            HandOn(file);
        else
            add(file.Path, folder, {file.Size, file.Checksum});
    }
    // The files that dictionaries uninstalled earlier wrote into this Vellumor folder: its own
    // Vellumor archive may not have had them all.
    std::vector<std::string> handedOn;
    if (lastOfVellumor) {
        for (const auto& [path, text] : Ports.Registry.ReadMachineRegistryStrings(LeftFilesKey)) {
            if (!IsInsideFolder(record.VellumorDirectory, path)) continue;
            handedOn.push_back(path);
            if (const std::optional<TFileDigest> digest = ParseDigestText(text))
                add(*NormalisedFullPath(path), record.VellumorDirectory, *digest);
        }
    }

    std::vector<const TRemovable*> removable;
    std::vector<std::string> removablePaths;
    for (const TRemovable& file : files) {
        if (!Ports.Files.FileExists(file.Path)) continue;
        if (BehindLink(file.Path)) {
            Note("Skipped file behind a link: " + file.Path);
            continue;
        }
        if (IsUserFile(file.Path)) {
            Kept.push_back(file.Path + " (your file)");
            continue;
        }
        const std::optional<TFileDigest> digest = DigestFile(Ports.Files, file.Path, DigestBuffer);
        if (std::none_of(file.Digests.begin(), file.Digests.end(),
                         [&](const TFileDigest& d) { return Matches(digest, d.Size, d.Checksum); })) {
            Kept.push_back(file.Path + " (changed since it was installed)");
            continue;
        }
        removable.push_back(&file);
        removablePaths.push_back(file.Path);
    }
    const bool closed = ClosePrograms(removablePaths);
    for (const TRemovable* file : removable) RemoveOne(file->Path, file->Digests);
    if (closed && !Ports.Programs.RestartPrograms()) Note("Closed programs not restarted");
    Ports.Programs.EndSession();
    // Handed-on files that could not go stay handed on, for the uninstall that is run again.
    if (Failed) return;
    for (const std::string& path : handedOn) Ports.Registry.DeleteMachineRegistryValue(LeftFilesKey, path);
    Ports.Registry.DeleteMachineRegistryKey(LeftFilesKey, !lastOverall);
}

bool TUninstaller::ClosePrograms(const std::vector<std::string>& paths) {
    const std::vector<std::string> programs = Ports.Programs.ProgramsUsing(paths);
    if (programs.empty()) return false;
    const std::string names = ProgramNames(programs);
    const std::string question = CloseProgramsQuestion(
        programs, "to be removed", "files still in use are removed when Windows restarts next.");
    Note("Question: " + question);
    const bool close = Silent ? CloseAnswer
                              : Ports.Dialogs.MessageDlg(question, TMsgDlgType::mtConfirmation,
                                                         TMsgDlgButtons::mbYesNo) == TModalResult::mrYes;
    Note(close ? "Answer: Yes" : "Answer: No");
    if (!close) return false;
    Note(Ports.Programs.ClosePrograms() ? "Closed: " + names : "Not all closed: " + names);
    return true;
}

void TUninstaller::RemoveOne(const std::string& path, const std::vector<TFileDigest>& digests) {
    const auto unchanged = [&](TStream& bytes) {
        const TFileDigest digest = DigestStream(bytes, DigestBuffer);
        return std::any_of(digests.begin(), digests.end(), [&](const TFileDigest& d) {
            return digest.Size == d.Size && digest.Checksum == d.Checksum;
        });
    };
    switch (Ports.Files.RemoveFileIfUnchanged(path, unchanged)) {
    case TRemoveResult::Removed:
        Note("Removed: " + path);
        return;
    case TRemoveResult::Missing:
        return;
    case TRemoveResult::Refused:
        // Reached through a link after all: the check before ran on names, the removal on the
        // file itself.
        Note("Skipped file behind a link: " + path);
        return;
    case TRemoveResult::InUse:
        if (Ports.Files.ScheduleAtRestart(path, "")) {
            Note("Removed at restart: " + path);
            AtRestart.push_back(path);
            return;
        }
        Kept.push_back(path + " (in use)");
        break;
    case TRemoveResult::Changed:
        // Changed between the first look and the removal's own.
        Kept.push_back(path + " (changed since it was installed)");
        return;
    case TRemoveResult::Failed:
        Kept.push_back(path + " (could not be removed)");
        break;
    }
    Failed = true;
}

bool TUninstaller::HoldsAtRestart(const std::string& folder) const {
    return std::any_of(AtRestart.begin(), AtRestart.end(),
                       [&](const std::string& path) { return IsInsideFolder(folder, path); });
}

void TUninstaller::HandOn(const TRecordedFile& file) {
    if (IsUserFile(file.Path) || !Ports.Files.FileExists(file.Path) || BehindLink(file.Path)) return;
    if (Matches(DigestFile(Ports.Files, file.Path, DigestBuffer), file.Size, file.Checksum))
        Ports.Registry.WriteMachineRegistryString(LeftFilesKey, file.Path,
                                                  DigestText({file.Size, file.Checksum}));
}

bool TUninstaller::IsLink(const std::string& folder) {
    // Each folder asked about once, however many files lie below it.
    const auto known = std::find_if(CheckedFolders.begin(), CheckedFolders.end(),
                                    [&](const auto& checked) { return SameText(checked.first, folder); });
    if (known != CheckedFolders.end()) return known->second;
    const bool link = Ports.Files.IsReparsePoint(folder);
    CheckedFolders.emplace_back(folder, link);
    return link;
}

bool TUninstaller::BehindLink(const std::string& path) {
    // Every folder up to the drive's root, the installation folders' ancestors too.
    for (std::string at = ExtractFileDir(path); !at.empty(); at = ExtractFileDir(at)) {
        if (IsLink(at)) return true;
        if (ExtractFileDir(at) == at) break;
    }
    return false;
}

void TUninstaller::RemoveFromRegistry(const TUninstallRecord& record, bool lastOfVellumor, bool lastOverall) {
    if (Ports.Registry.DeleteMachineRegistryKey(UninstallKeyRoot + record.KeyName, false))
        Note("Removed: HKLM\\" + std::string(UninstallKeyRoot) + record.KeyName);
    Ports.Registry.DeleteMachineRegistryValue(VellumorUsersKey, record.KeyName);
    // The one value this setup writes outside its own keys, whatever the record's value lines
    // say; a value that a later installation elsewhere has changed belongs to that installation.
    if (lastOfVellumor) {
        const std::optional<std::string> now =
            Ports.Registry.ReadMachineRegistryString(VellumorRegistryKey, VellumorRegistryValue);
        if (now && IsSamePath(*now, record.VellumorDirectory) &&
            Ports.Registry.DeleteMachineRegistryValue(VellumorRegistryKey, VellumorRegistryValue))
            Note("Removed: HKLM\\" + std::string(VellumorRegistryKey) + " " + VellumorRegistryValue);
    }
    if (lastOverall) Ports.Registry.DeleteMachineRegistryKey(VellumorUsersKey, false);
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
    for (const auto& [folder, unused] : Ports.Registry.ReadMachineRegistryStrings(LeftFoldersKey))
        add(folder);
    // Deepest first, folders as deep in the order found: a stable sort's order, depth by depth,
    // without the sort's code in the uninstaller.
    std::vector<size_t> depths;
    size_t deepest = 0;
    for (const std::string& folder : folders) deepest = std::max(deepest, depths.emplace_back(Depth(folder)));
    std::vector<std::string> ordered;
    for (size_t depth = deepest + 1; depth-- > 0;)
        for (size_t k = 0; k < folders.size(); ++k)
            if (depths[k] == depth) ordered.push_back(std::move(folders[k]));

    for (const std::string& folder : ordered) {
        if (!Ports.Files.DirectoryExists(folder)) {
            Ports.Registry.DeleteMachineRegistryValue(LeftFoldersKey, folder);
            continue;
        }
        if (IsLink(folder) || BehindLink(folder)) {
            Note("Skipped folder behind a link: " + folder);
            continue;
        }
        const bool holdsUninstaller = IsFolderOrInside(folder, directory);
        if (holdsUninstaller) outcome.FoldersAfterSelf.push_back(folder);
        if (!holdsUninstaller && Ports.Files.RemoveEmptyDirectory(folder)) {
            Note("Removed folder: " + folder);
            Ports.Registry.DeleteMachineRegistryValue(LeftFoldersKey, folder);
        } else if (!holdsUninstaller && HoldsAtRestart(folder) && Ports.Files.ScheduleAtRestart(folder, "")) {
            // Empty once the restart has removed its files, which it does first.
            Note("Removed at restart: " + folder);
            AtRestart.push_back(folder);
            Ports.Registry.DeleteMachineRegistryValue(LeftFoldersKey, folder);
        } else if (!lastOverall && !IsSamePath(folder, directory)) {
            // Still in use: the dictionary that is uninstalled last removes it. The uninstaller's
            // own folder goes with the uninstaller.
            Ports.Registry.WriteMachineRegistryString(LeftFoldersKey, folder, "");
        }
    }
    if (lastOverall) Ports.Registry.DeleteMachineRegistryKey(LeftFoldersKey, false);
    for (const char* key : KeysToPrune)
        if (!Ports.Registry.DeleteMachineRegistryKey(key, true)) break;
}
