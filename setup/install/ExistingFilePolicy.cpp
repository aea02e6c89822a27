// TMainForm's existing-file check and progress display, called by Compressor while it expands an
// archive: the two user files of Vellumor are never replaced, an installed file newer than its
// member is replaced only when the user agrees, and the project file's target is remembered.
#include "setup/MainForm.h"

#include "setup/PathText.h"
#include "setup/record/KoStamp.h"

namespace {
const char* const ProtectedNames[] = {"velmor.pvm", "velmor.pvl"};
const char* const ProjectExtension = ".vlp";
} // namespace

void TMainForm::CompressorCheckFile(std::string& filepath, TProcessMode) {
    // The member before this one has been expanded by now.
    FinishPendingFile();
    const std::string name = ExtractFileName(filepath);
    if (SameText(ExtractFileExt(name), ProjectExtension)) FProjectFile = filepath;
    FPendingFile = filepath;
    if (!Desktop.FileExists(filepath)) {
        NoteMissingFolders(filepath);
        return;
    }
    for (const char* protectedName : ProtectedNames) {
        if (SameText(name, protectedName)) {
            Note("Kept (user file): " + filepath);
            FPendingFile.clear();
            filepath.clear();
            return;
        }
    }
    if (!MemberList) return;
    const TMemberInfo* member = nullptr;
    for (const TDirectoryEntry& entry : *MemberList) {
        if (SameText(entry.Name, name)) {
            member = entry.Info.get();
            break;
        }
    }
    if (!member) return;
    // Packed times order by time as unsigned numbers: from 2044 on the year sets the top bit.
    const auto memberTime = static_cast<uint32_t>(member->DateTime);
    const auto fileTime = static_cast<uint32_t>(::GetFileTimeStamp(Desktop, filepath));
    if (memberTime >= fileTime) return;
    const std::string question = "The current " + filepath + " is newer than the file to be installed!" +
                                 '\n' + "Overwrite the current file?";
    if (ShowMessage(question, TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo) == TModalResult::mrNo) {
        Note("Kept (newer than the file to be installed): " + filepath);
        FPendingFile.clear();
        filepath.clear();
    }
}

void TMainForm::FinishPendingFile() {
    if (FPendingFile.empty()) return;
    // The archive component skips a file it cannot create without raising an error.
    if (Desktop.FileExists(FPendingFile)) {
        Note("Written: " + FPendingFile);
        WrittenFiles.emplace_back(CurrentPart, FPendingFile);
    } else
        Note("Not written: " + FPendingFile);
    FPendingFile.clear();
}

void TMainForm::CompressorShowProgress(int32_t& PercentageDone) {
    // Reports often repeat a position (a member's last chunk reports 100, then its end does);
    // the bar is moved, and so repainted, only when the position changes.
    if (PercentageDone == FProgressPosition) return;
    FProgressPosition = PercentageDone;
    Controls.SetProgress(PercentageDone);
}
