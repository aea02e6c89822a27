// What an installation wrote, noted as it happens: each member's target once the archive component
// has replaced it (or left it complete beside it, for the next restart), with the size and CRC-32
// of the bytes written, the folders that writing it created, the shortcuts, the program group and the
// registry values; and the uninstall record that all of it becomes. The project file met among the
// members is remembered here too, as the installation marks and opens it afterwards.
#pragma once

#include "setup/UninstallRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TFiles;
class TRunNotes;

class TInstallJournal {
public:
    TInstallJournal(TFiles& files, const TRunNotes& note) : Files(files), Note(note) {}

    // Forgets the files, folders and shortcuts of an earlier run.
    void Clear();
    // The part of the installation that the files and folders noted from now on belong to.
    void SetPart(TRecordPart part) { CurrentPart = part; }

    // The archive component is about to write the target of a member: the member before it has
    // been expanded by now, a project file is remembered (whether written or kept) and the folders
    // that writing it will create are noted. True when a file exists at path already.
    bool BeginFile(const std::string& path);
    // The pending member is not written: the installed file stays, for the reason given.
    void KeepPendingFile(const std::string& reason);
    // The pending member's file has replaced its target: the size and CRC-32 of the bytes written
    // (size -1 when not known: the file is read for them when the record is made).
    void FileWritten(const std::string& path, int64_t size, uint32_t crc32);
    // The pending member is complete beside its target, in pending, and replaces it at the next
    // restart: recorded as written, with the new bytes' digest.
    void FileReplacedAtRestart(const std::string& path, const std::string& pending, int64_t size,
                               uint32_t crc32);
    // The archive is done: a pending member that was neither written nor kept is noted as not
    // written, and counts as a failure (NotWritten).
    void FinishPendingFile();
    // The installation failed: the pending member is noted as the one it failed on.
    void FailPendingFile();
    // Notes the folders of path that do not exist yet, which writing the file will create.
    void NoteMissingFolders(const std::string& path);

    void SetProgramGroup(const std::string& folder) { ProgramGroup = folder; }
    void AddShortcut(const std::string& linkPath) { Shortcuts.push_back(linkPath); }
    void AddValue(const std::string& key, const std::string& name, const std::string& data) {
        Values.push_back({key, name, data});
    }

    const std::string& ProjectFile() const { return FProjectFile; }
    // The file that holds what path will hold: the file waiting beside it for the restart, or
    // path itself.
    std::string CurrentFile(const std::string& path) const;
    // A file is replaced only at the next restart.
    bool NeedsRestart() const { return !AtRestart.empty(); }
    // Members whose files were neither written nor kept.
    int NotWritten() const { return Unwritten; }
    // The installation changed a written file itself (the project mark): the record takes its
    // digest again, from the file that holds it then.
    void Redigest(const std::string& path) { Changed.push_back(path); }
    const std::string& ProgramGroupFolder() const { return ProgramGroup; }
    const std::vector<TRecordedFolder>& CreatedFolders() const { return Folders; }

    // The record of what was written: each file with the size and checksum of the bytes written
    // (a file whose digest was not counted is read for it, and left out when it cannot be), the folders, the
    // shortcuts, the program group and the values. Who the installation is (key, names, directories) is the
    // caller's to fill in.
    TUninstallRecord Record() const;

    // Whether a file may exist at path: false below a folder this installation made, unless it
    // wrote path there. (A look-up that finds nothing costs most: under Wine it reads the folder.)
    bool MayExist(const std::string& path) const;

private:
    // A path's hash, A-Z and a-z folded: two paths with one hash only cost a look-up more.
    static uint64_t PathHash(const std::string& path);
    void NoteWritten(const std::string& path);

    TFiles& Files;
    const TRunNotes& Note;

    TRecordPart CurrentPart = TRecordPart::Dictionary;
    // The target of the member being expanded; empty when it is skipped.
    std::string PendingFile;
    std::string FProjectFile;
    struct TWrittenFile {
        TRecordPart Part;
        std::string Path;
        int64_t Size; // -1: not known
        uint32_t Crc32;
    };
    std::vector<TWrittenFile> WrittenFiles;
    // WrittenFiles' paths hashed, sorted: eight bytes a file to search, not a path to compare.
    std::vector<uint64_t> WrittenHashes;
    // Target and the complete file beside it that replaces it at the next restart.
    std::vector<std::pair<std::string, std::string>> AtRestart;
    int Unwritten = 0;
    std::vector<std::string> Changed;
    std::vector<TRecordedFolder> Folders;
    std::vector<std::string> Shortcuts;
    std::string ProgramGroup;
    std::vector<TRecordedValue> Values;
};
