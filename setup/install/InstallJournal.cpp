// The journal of an installation.
#include "setup/install/InstallJournal.h"

#include "setup/FormPorts.h"
#include "setup/PathText.h"
#include "setup/unattended/InstallLog.h"

#include "platform/text/AsciiCase.h"

#include <algorithm>

namespace {
const char* const ProjectExtension = ".vlp";

// The folder that holds path; empty above a root.
std::string FolderAbove(const std::string& path) {
    std::string folder = TrimTrailingBackslashes(ExtractFileDir(path));
    return folder == path ? std::string() : folder;
}
} // namespace

void TInstallJournal::Clear() {
    WrittenFiles.clear();
    AtRestart.clear();
    Unwritten = 0;
    Changed.clear();
    PendingFile.clear();
    Folders.clear();
    WrittenHashes.clear();
    Shortcuts.clear();
}

bool TInstallJournal::BeginFile(const std::string& path) {
    FinishPendingFile();
    if (SameText(ExtractFileExt(ExtractFileName(path)), ProjectExtension)) FProjectFile = path;
    PendingFile = path;
    if (MayExist(path) && Files.FileExists(path)) return true;
    NoteMissingFolders(path);
    return false;
}

uint64_t TInstallJournal::PathHash(const std::string& path) {
    uint64_t hash = 14695981039346656037u; // FNV-1a
    for (const char c : path) hash = (hash ^ static_cast<unsigned char>(ToUpperAscii(c))) * 1099511628211u;
    return hash;
}

void TInstallJournal::NoteWritten(const std::string& path) {
    const uint64_t hash = PathHash(path);
    WrittenHashes.insert(std::lower_bound(WrittenHashes.begin(), WrittenHashes.end(), hash), hash);
}

// A folder that this installation made, and every folder below it, holds only what it wrote
// there: a file not written there yet is not looked for.
bool TInstallJournal::MayExist(const std::string& path) const {
    if (std::binary_search(WrittenHashes.begin(), WrittenHashes.end(), PathHash(path))) return true;
    for (std::string folder = FolderAbove(path); !folder.empty(); folder = FolderAbove(folder))
        if (std::any_of(Folders.begin(), Folders.end(),
                        [&](const TRecordedFolder& made) { return SameText(made.Path, folder); }))
            return false;
    return true;
}

void TInstallJournal::KeepPendingFile(const std::string& reason) {
    Note("Kept (" + reason + "): " + PendingFile);
    PendingFile.clear();
}

void TInstallJournal::FileWritten(const std::string& path, int64_t size, uint32_t crc32) {
    Note("Written: " + path);
    WrittenFiles.push_back({CurrentPart, path, size, crc32});
    NoteWritten(path);
    PendingFile.clear();
}

void TInstallJournal::FileReplacedAtRestart(const std::string& path, const std::string& pending, int64_t size,
                                            uint32_t crc32) {
    Note("Replaced at restart: " + path);
    WrittenFiles.push_back({CurrentPart, path, size, crc32});
    NoteWritten(path);
    AtRestart.emplace_back(path, pending);
    PendingFile.clear();
}

void TInstallJournal::FinishPendingFile() {
    if (PendingFile.empty()) return;
    Note("Not written: " + PendingFile);
    ++Unwritten;
    PendingFile.clear();
}

std::string TInstallJournal::CurrentFile(const std::string& path) const {
    for (const auto& [target, pending] : AtRestart)
        if (SameText(target, path)) return pending;
    return path;
}

void TInstallJournal::FailPendingFile() {
    if (!PendingFile.empty()) Note("Failed: " + PendingFile);
    PendingFile.clear();
}

void TInstallJournal::NoteMissingFolders(const std::string& path) {
    std::vector<std::string> missing;
    for (std::string folder = FolderAbove(path); !folder.empty() && !Files.DirectoryExists(folder);
         folder = FolderAbove(folder))
        missing.push_back(folder);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) Folders.push_back({CurrentPart, *it});
}

TUninstallRecord TInstallJournal::Record() const {
    TUninstallRecord record;
    record.ProgramGroup = ProgramGroup;
    std::vector<uint8_t> buffer;
    for (const TWrittenFile& file : WrittenFiles) {
        const bool changed = std::any_of(Changed.begin(), Changed.end(),
                                         [&](const std::string& c) { return SameText(c, file.Path); });
        // A file changed since it was written is read again; unreadable, the digest of the bytes
        // written stands (an uninstall then keeps it as changed).
        if (changed)
            if (const std::optional<TFileDigest> digest = DigestFile(Files, CurrentFile(file.Path), buffer)) {
                record.Files.push_back({file.Part, file.Path, digest->Size, digest->Checksum});
                continue;
            }
        if (file.Size >= 0) {
            record.Files.push_back({file.Part, file.Path, file.Size, file.Crc32});
            continue;
        }
        if (const std::optional<TFileDigest> digest = DigestFile(Files, CurrentFile(file.Path), buffer))
            record.Files.push_back({file.Part, file.Path, digest->Size, digest->Checksum});
    }
    record.Folders = Folders;
    record.Shortcuts = Shortcuts;
    record.Values = Values;
    return record;
}
