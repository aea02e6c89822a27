// The journal of an installation.
#include "setup/install/InstallJournal.h"

#include "setup/FormPorts.h"
#include "setup/PathText.h"
#include "setup/unattended/InstallLog.h"

namespace {
const char* const ProjectExtension = ".vlp";
} // namespace

void TInstallJournal::Clear() {
    WrittenFiles.clear();
    Folders.clear();
    Shortcuts.clear();
}

bool TInstallJournal::BeginFile(const std::string& path) {
    FinishPendingFile();
    if (SameText(ExtractFileExt(ExtractFileName(path)), ProjectExtension)) FProjectFile = path;
    PendingFile = path;
    if (Files.FileExists(path)) return true;
    NoteMissingFolders(path);
    return false;
}

void TInstallJournal::KeepPendingFile(const std::string& reason) {
    Note("Kept (" + reason + "): " + PendingFile);
    PendingFile.clear();
}

void TInstallJournal::FinishPendingFile() {
    if (PendingFile.empty()) return;
    // The archive component skips a file it cannot create without raising an error.
    if (Files.FileExists(PendingFile)) {
        Note("Written: " + PendingFile);
        WrittenFiles.emplace_back(CurrentPart, PendingFile);
    } else
        Note("Not written: " + PendingFile);
    PendingFile.clear();
}

void TInstallJournal::FailPendingFile() {
    if (!PendingFile.empty()) Note("Failed: " + PendingFile);
    PendingFile.clear();
}

void TInstallJournal::NoteMissingFolders(const std::string& path) {
    std::vector<std::string> missing;
    std::string folder = TrimTrailingBackslashes(ExtractFileDir(path));
    while (!folder.empty() && !Files.DirectoryExists(folder)) {
        missing.push_back(folder);
        const std::string parent = TrimTrailingBackslashes(ExtractFileDir(folder));
        if (parent == folder) break;
        folder = parent;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) Folders.push_back({CurrentPart, *it});
}

TUninstallRecord TInstallJournal::Record() const {
    TUninstallRecord record;
    record.ProgramGroup = ProgramGroup;
    std::vector<uint8_t> buffer;
    for (const auto& [part, path] : WrittenFiles)
        if (const std::optional<TFileDigest> digest = DigestFile(Files, path, buffer))
            record.Files.push_back({part, path, digest->Size, digest->Checksum});
    record.Folders = Folders;
    record.Shortcuts = Shortcuts;
    record.Values = Values;
    return record;
}
