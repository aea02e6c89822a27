// What an installation wrote, noted as it happens: each member's target once the archive component
// is done with it, the folders that writing it created, the shortcuts, the program group and the
// registry values; and the uninstall record that all of it becomes. The project file met among the
// members is remembered here too, as the installation marks and opens it afterwards.
#pragma once

#include "setup/UninstallRecord.h"

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
    // Notes the member that the archive component was last allowed to write, once it is done.
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
    const std::string& ProgramGroupFolder() const { return ProgramGroup; }
    const std::vector<TRecordedFolder>& CreatedFolders() const { return Folders; }

    // The record of what was written: each file with the size and checksum it has now (a file that
    // can no longer be read is left out), the folders, the shortcuts, the program group and the
    // values. Who the installation is (key, names, directories) is the caller's to fill in.
    TUninstallRecord Record() const;

private:
    TFiles& Files;
    const TRunNotes& Note;

    TRecordPart CurrentPart = TRecordPart::Dictionary;
    // The target of the member being expanded; empty when it is skipped.
    std::string PendingFile;
    std::string FProjectFile;
    std::vector<std::pair<TRecordPart, std::string>> WrittenFiles;
    std::vector<TRecordedFolder> Folders;
    std::vector<std::string> Shortcuts;
    std::string ProgramGroup;
    std::vector<TRecordedValue> Values;
};
