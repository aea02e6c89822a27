// The installation engine (Installation.h). While an archive is expanded, Compressor asks about
// each member's target (CompressorCheckFile: the journal notes it, the existing-file policy decides,
// a newer installed file is a question to the policy) and reports its progress
// (CompressorShowProgress, to the sink).
#include "setup/install/Installation.h"

#include "compress/archive/MemberNameRules.h"
#include "platform/Exception.h"
#include "platform/files/FileStream.h"
#include "platform/process/Spans.h"
#include "platform/process/Yield.h"
#include "setup/InstalledPaths.h"
#include "setup/PathText.h"
#include "setup/install/ExistingFilePolicy.h"
#include "setup/install/FolderProtection.h"
#include "setup/install/InstallFolders.h"
#include "setup/integrity/LooseArchives.h"
#include "setup/unattended/InstallLog.h"

#include <algorithm>
#include <optional>

namespace {
const char* const VellumorExe = "velmor.exe";

// An installation folder that already exists as a junction or symbolic link: what the setup
// would write there lands wherever the link leads, which whoever made the link chose.
class ELinkedFolder : public Exception {
    using Exception::Exception;
};

void RefuseLinkedFolder(TFiles& files, const std::string& folder) {
    if (files.IsReparsePoint(folder))
        throw ELinkedFolder(
            "The folder " + folder +
            " is a link (a junction or symbolic link) to another place. Choose another folder.");
}

// Ends one archive's expansion on every way out: the stream first, then the member directory.
class TArchiveRun {
public:
    TArchiveRun(TArchiver& archiver, TDirectoryList*& memberList, std::unique_ptr<TStream> stream,
                TDirectoryList list)
        : Archiver(archiver), MemberList(memberList), Stream(std::move(stream)), List(std::move(list)) {
        MemberList = &List;
    }
    ~TArchiveRun() {
        Stream.reset();
        Archiver.FreeDirectory(&List);
        MemberList = nullptr;
    }
    TArchiveRun(const TArchiveRun&) = delete;
    TArchiveRun& operator=(const TArchiveRun&) = delete;

    TStream& Source() { return *Stream; }

private:
    TArchiver& Archiver;
    TDirectoryList*& MemberList;
    std::unique_ptr<TStream> Stream;
    TDirectoryList List;
};
} // namespace

TInstallation::TInstallation(const TInstallPorts& ports, TInstallProgress& progress,
                             TQuestionPolicy& questions, const TRunNotes& note)
    : Ports(ports), Progress(progress), Questions(questions), Note(note) {
    Compressor.OnCheckFile = [this](std::string& filepath, TProcessMode mode) {
        CompressorCheckFile(filepath, mode);
    };
    Compressor.OnShowProgress = [this](int32_t& percentageDone) { CompressorShowProgress(percentageDone); };
    Compressor.OnFileError = [this](const TFileError& error) { return CompressorFileError(error); };
    Compressor.OnFileWritten = [this](const std::string& target, int64_t size, uint32_t crc32) {
        const TSpan span("journal");
        if (Held.Waited() > 0)
            Note("Waited " + std::to_string(Held.Waited()) + " ms for " + target +
                 " (held by another program)");
        Journal.FileWritten(target, size, crc32);
        // The first file is in and the expansion's threads are running: the links' libraries can
        // load beside the rest without holding anything up.
        if (!ShortcutsPrepared) {
            ShortcutsPrepared = true;
            Ports.Shortcuts.Prepare();
        }
    };
    Compressor.MakeDirectories = true;
    Compressor.ExceptionOnFileError = false;
    Compressor.CheckSpaceBeforeExpand = false;
    Compressor.Key = 0;
}

std::string TInstallation::VellumorDirectory() const {
    return VellumorDirectoryBelow(Request.BaseDirectory);
}

TInstallOutcome TInstallation::Install(const TSetupPackage& package, const TInstallRequest& request) {
    std::optional<TSpan> span(std::in_place, "check folders");
    // The presenter shows the refusal (and so notes it).
    if (const std::optional<std::string> refusal = RefuseInstallFolders(request))
        return {TInstallStatus::Refused, *refusal, true};
    const TFoldersMadeEarlier madeEarlier = TFoldersMadeEarlier::Read(Ports);
    if (const std::optional<std::string> refusal = RefuseChangeableFolders(
            Ports.Files, {request.DictionaryDirectory, VellumorDirectoryBelow(request.BaseDirectory)},
            madeEarlier))
        return {TInstallStatus::Unprotected, *refusal, true};
    span.reset();
    Package = package;
    Request = request;
    Journal.Clear();
    Registration.Clear();
    Progress.ShowInstalling();
    TInstallOutcome outcome;
    try {
        // Both folders and both archives' member names are checked before anything is written.
        span.emplace("open archives");
        RefuseLinkedFolder(Ports.Files, Request.DictionaryDirectory);
        RefuseLinkedFolder(Ports.Files, VellumorDirectory());
        OpenInstallArchive("DICTIONARY");
        OpenInstallArchive("VELLUMOR");
        span.emplace("make folders");
        MakeInstallFolder("DICTIONARY", Request.DictionaryDirectory, madeEarlier);
        MakeInstallFolder("VELLUMOR", VellumorDirectory(), madeEarlier);
        span.emplace("close programs");
        CloseProgramsUsingTargets();
        span.emplace("expand archives");
        InstallArchive("DICTIONARY", Request.DictionaryDirectory);
        InstallArchive("VELLUMOR", VellumorDirectory());
        span.emplace("registry");
        // Not one member may be missing from an installation called complete.
        if (Journal.NotWritten() > 0)
            throw EInOutError(std::to_string(Journal.NotWritten()) +
                              " file(s) of the installation not written");
        Ports.Registry.WriteMachineRegistryString(VellumorRegistryKey, VellumorRegistryValue,
                                                  VellumorDirectory());
        Journal.AddValue(VellumorRegistryKey, VellumorRegistryValue, VellumorDirectory());
        Note(std::string("Registry: HKLM\\") + VellumorRegistryKey + " " + VellumorRegistryValue + " = " +
             VellumorDirectory());

        span.emplace("shortcuts");
        // Without a Programs folder there is no place for the program group.
        const std::string programs = Ports.Shortcuts.ProgramsFolder();
        if (!programs.empty()) {
            Journal.SetProgramGroup(programs + "\\Parlavox");
            Ports.Files.MakeDirectory(Journal.ProgramGroupFolder());
            CreateShortcutIfPresent(VellumorDirectory(), VellumorExe, "Vellumor.lnk");
            CreateShortcutIfPresent(VellumorDirectory(), "velmor.pdf", "Vellumor Manual.lnk");
        }
        span.emplace("register");
        Registration.Register({Package.DictionaryName, Package.Description, Package.Author, Package.Created,
                               Request.DictionaryDirectory, VellumorDirectory()});
    } catch (const ELinkedFolder& e) {
        outcome = Failure(e.Message, true);
    } catch (const std::exception& e) {
        outcome = Failure(e.what(), false);
    } catch (...) {
        outcome = Failure("unknown error", false);
    }
    span.reset();
    HeldFolders.clear();
    OpenedArchives.clear();
    RestartClosedPrograms();
    if (outcome.Status == TInstallStatus::Installed && Journal.NeedsRestart())
        outcome.Status = TInstallStatus::NeedsRestart;
    return outcome;
}

void TInstallation::CloseProgramsUsingTargets() {
    ClosedPrograms.clear();
    std::vector<std::string> targets;
    for (const TOpenedArchive& archive : OpenedArchives) {
        const std::string folder = TrimTrailingBackslashes(
            archive.Name == "VELLUMOR" ? VellumorDirectory() : Request.DictionaryDirectory);
        // A first installation has no folder yet, and nothing to ask about for it.
        if (!Ports.Files.DirectoryExists(folder)) continue;
        for (const TDirectoryEntry& entry : archive.Directory) {
            if (entry.Name.empty() || entry.Name[0] == '\\') continue;
            const std::string path = folder + "\\" + entry.Name;
            // Nothing is looked for in a folder made just now.
            if (Journal.MayExist(path) && Ports.Files.FileExists(path)) targets.push_back(path);
        }
    }
    if (targets.empty()) return;
    const std::vector<std::string> programs = Ports.Programs.ProgramsUsing(targets);
    if (programs.empty()) {
        Ports.Programs.EndSession();
        return;
    }
    const std::string names = ProgramNames(programs);
    const std::string question = CloseProgramsQuestion(
        programs, "that setup must replace",
        "setup continues, and a file still in use is replaced when Windows restarts next.");
    Note("Question: " + question);
    const TAnswer answer = Questions.Ask(TQuestion::ClosePrograms, question);
    Note(std::string("Answer: ") + AnswerName(answer));
    if (answer != TAnswer::Yes) {
        Ports.Programs.EndSession();
        return;
    }
    // Those that did close are restarted all the same.
    ClosedPrograms = names;
    Note(Ports.Programs.ClosePrograms() ? "Closed: " + names : "Not all closed: " + names);
}

void TInstallation::RestartClosedPrograms() {
    if (!ClosedPrograms.empty())
        Note(Ports.Programs.RestartPrograms() ? "Restarted: " + ClosedPrograms
                                              : "Not restarted: " + ClosedPrograms);
    ClosedPrograms.clear();
    Ports.Programs.EndSession();
}

TInstallOutcome TInstallation::Failure(const std::string& reason, bool forUser) {
    Journal.FailPendingFile();
    Note("Error: " + reason);
    return {TInstallStatus::Failed, reason, forUser};
}

void TInstallation::Finish() {
    const TSpan span("finish");
    // No project file was met: there is nothing to mark and nothing to open.
    const std::string& projectFile = Journal.ProjectFile();
    if (projectFile.empty()) {
        Registration.SaveUninstallRecord();
        return;
    }
    // A project file that waits for the restart is marked in the file that replaces it then.
    const std::string markedFile = Journal.CurrentFile(projectFile);
    const bool marked = Ports.Files.WritePrivateProfile("Project", "Deployed", "1", markedFile);
    // Recorded after the mark, so that the mark does not count as a change on uninstall.
    if (marked) Journal.Redigest(projectFile);
    Registration.SaveUninstallRecord();
    if (!marked) throw EIniFileException("Unable to write to " + projectFile);
    Note("Project marked: " + projectFile + " [Project] Deployed=1" +
         (markedFile == projectFile ? "" : " (in " + markedFile + ", which replaces it at restart)"));
    if (Journal.NeedsRestart()) {
        // Vellumor would start with files that the restart replaces, and hold them again.
        if (Request.LaunchVellumor) Note("Not started: the installation is finished by the next restart");
        return;
    }
    const std::string exePath = VellumorDirectory() + "\\" + VellumorExe;
    if (Request.LaunchVellumor && Ports.Files.FileExists(exePath) && Ports.Files.FileExists(projectFile))
        LaunchVellumor(exePath);
}

void TInstallation::LaunchVellumor(const std::string& exePath) {
    const std::string parameters = "\"" + Journal.ProjectFile() + "\"";
    const std::string commandLine = "\"" + exePath + "\" " + parameters;
    const bool elevated = Ports.Module.Elevated();
    for (const TStartRoute route : StartRoutes(elevated)) {
        if (!Ports.Starter.StartProcess(route, exePath, parameters, VellumorDirectory())) continue;
        Note((route == TStartRoute::DesktopShell ? "Started through the desktop's shell: " : "Started: ") +
             commandLine);
        return;
    }
    Note(elevated ? "Not started: the desktop's shell could not start " + commandLine +
                        ", and the elevated setup does not start it with its own rights"
                  : "Not started: " + commandLine);
}

void TInstallation::OpenInstallArchive(const std::string& archiveName) {
    TOpenedArchive opened;
    opened.Name = archiveName;
    try {
        opened.Stream = Ports.Module.OpenArchiveResource(Compressor, archiveName);
    } catch (...) {
        // A missing or unreadable resource is not an error: the fallback file may stand in.
    }
    if (!opened.Stream) {
        const int number = FallbackNumberOf(archiveName);
        if (number == 0) return;
        const std::string path = Package.FallbackFileName(number);
        // Held from its check to the end of its expansion, and read in pieces: the file lies in a
        // folder that others may write to while the setup runs, and may be of any size.
        opened.Stream =
            OpenLooseArchive(Ports.Files, path, Package.MadeSetup, Package.LooseFile(archiveName));
        if (!opened.Stream) return;
        opened.FallbackFile = path;
    }
    // The member directory read for the check serves the expansion too.
    try {
        Compressor.ReadDirectory(*opened.Stream, opened.Directory);
    } catch (const Exception& e) {
        if (opened.FallbackFile.empty()) throw;
        throw ELooseArchive(opened.FallbackFile + " is not an archive the setup can expand: " + e.Message);
    }
    opened.Stream->Seek(0, TSeekOrigin::Begin);
    for (const TDirectoryEntry& entry : opened.Directory)
        if (IsEscapingMemberName(entry.Name, TNameRules::Windows))
            throw EDamagedArchive(
                "unsafe member name \"" + entry.Name + "\" in " +
                (opened.FallbackFile.empty() ? "archive " + archiveName : opened.FallbackFile));
    std::erase_if(OpenedArchives, [&](const TOpenedArchive& a) { return a.Name == archiveName; });
    OpenedArchives.push_back(std::move(opened));
}

void TInstallation::MakeInstallFolder(const std::string& archiveName, const std::string& folder,
                                      const TFoldersMadeEarlier& madeEarlier) {
    if (std::none_of(OpenedArchives.begin(), OpenedArchives.end(),
                     [&](const TOpenedArchive& a) { return a.Name == archiveName; }))
        return;
    Journal.SetPart(archiveName == "VELLUMOR" ? TRecordPart::Vellumor : TRecordPart::Dictionary);
    Journal.NoteMissingFolders(folder + "\\" + UninstallerName);
    MakeProtectedFolder(Ports.Files, folder, madeEarlier, Note);
}

void TInstallation::InstallArchive(const std::string& archiveName, const std::string& destination) {
    Journal.SetPart(archiveName == "VELLUMOR" ? TRecordPart::Vellumor : TRecordPart::Dictionary);
    Compressor.SetTargetPath(destination);
    Destination = destination;
    auto opened = [&] {
        return std::find_if(OpenedArchives.begin(), OpenedArchives.end(),
                            [&](const TOpenedArchive& a) { return a.Name == archiveName; });
    };
    if (opened() == OpenedArchives.end()) OpenInstallArchive(archiveName);
    const auto found = opened();
    if (found == OpenedArchives.end()) {
        Note("Archive " + archiveName + ": not found, skipped");
        return;
    }
    TOpenedArchive archive = std::move(*found);
    OpenedArchives.erase(found);
    Note("Archive " + archiveName + ": " +
         (archive.FallbackFile.empty() ? "embedded, into " : archive.FallbackFile + " into ") + destination);

    TArchiveRun run(Compressor, MemberList, std::move(archive.Stream), std::move(archive.Directory));
    Compressor.ExpandArchive(run.Source(), nullptr);
    Journal.FinishPendingFile();
}

void TInstallation::CreateShortcutIfPresent(const std::string& directory, const std::string& fileName,
                                            const std::string& shortcutName) {
    if (!Ports.Files.FileExists(directory + "\\" + fileName)) return;
    const std::string linkPath = Journal.ProgramGroupFolder() + "\\" + shortcutName;
    try {
        if (CreateShellLink(directory, fileName, linkPath, "") >= 0) {
            Note("Shortcut: " + linkPath + " -> " + directory + "\\" + fileName);
            Journal.AddShortcut(linkPath);
        } else
            Note("Shortcut not created: " + linkPath);
    } catch (...) {
        // A shortcut that cannot be made is not worth failing the installation for.
    }
}

int32_t TInstallation::CreateShellLink(const std::string& directory, const std::string& fileName,
                                       const std::string& shortcutPath, const std::string& description) {
    return Ports.Shortcuts.CreateShellLink(directory + "\\" + fileName, directory, description, shortcutPath);
}

// A folder from the member's own up to the installation folder it goes into that is a link: the
// member would land wherever the link leads. Folders not made yet are made by the expansion
// itself, and checked with the next member that goes into them. A held folder's ancestors up to
// the installation folder are held too, so the walk up ends at the first one.
void TInstallation::RefuseLinkBelow(const std::string& target) {
    const auto held = [this](const std::string& folder) {
        return std::any_of(HeldFolders.begin(), HeldFolders.end(),
                           [&](const auto& h) { return h.first == folder; });
    };
    for (std::string at = ExtractFileDir(target); !held(at); at = ExtractFileDir(at)) {
        if (!IsFolderOrInside(Destination, at)) break;
        TFolderHold hold = Ports.Files.HoldFolder(at);
        if (hold.Check == TFolderCheck::Link)
            throw ELinkedFolder("The folder " + at +
                                " is a link (a junction or symbolic link) to another place: " + target +
                                " was not written.");
        if (hold.Check == TFolderCheck::Held) HeldFolders.emplace_back(at, std::move(hold));
        if (IsSamePath(at, Destination)) break;
    }
}

void TInstallation::CompressorCheckFile(std::string& filepath, TProcessMode) {
    const TSpan span("check member");
    {
        const TSpan linkSpan("link check");
        RefuseLinkBelow(filepath);
    }
    Held.Reset();
    if (!Journal.BeginFile(filepath)) return;
    const TSpan existingSpan("existing file");
    const TExistingFileChoice choice =
        DecideExistingFile(Ports.Files, filepath, MemberList, [this](const std::string& question) {
            Note("Question: " + question);
            const TAnswer answer = Questions.Ask(TQuestion::ReplaceNewerFile, question);
            Note(answer == TAnswer::No ? "Answer: No" : "Answer: Yes");
            return answer == TAnswer::Yes;
        });
    if (choice == TExistingFileChoice::Write) return;
    Journal.KeepPendingFile(
        choice == TExistingFileChoice::KeepUserFile ? "user file" : "newer than the file to be installed");
    filepath.clear();
}

void TInstallation::CompressorShowProgress(int32_t& PercentageDone) {
    Progress.ShowProgress(PercentageDone);
}

TFileErrorAction TInstallation::CompressorFileError(const TFileError& error) {
    // A scanner's hold ends by itself: tried again without a word while the schedule lasts.
    if (error.InUse && Held.WaitAgain()) return TFileErrorAction::Retry;
    // Not written, for a reason no waiting mends: the installation fails and says so.
    if (!error.InUse || !error.Replacing) return TFileErrorAction::Raise;
    Note("In use: " + error.Target + " (" + error.Reason + ")");
    const std::string question = error.Target +
                                 " is in use by another program. Close it and try again, or continue: setup "
                                 "then replaces the file when Windows restarts next. Cancel ends the setup "
                                 "and leaves the file as it was.";
    Note("Question: " + question);
    const TAnswer answer = Questions.Ask(TQuestion::FileInUse, question);
    Note(std::string("Answer: ") + AnswerName(answer));
    if (answer == TAnswer::Retry) {
        Held.Reset();
        return TFileErrorAction::Retry;
    }
    if (answer != TAnswer::AtRestart) return TFileErrorAction::Raise;
    if (!Ports.Files.ScheduleAtRestart(error.Pending, error.Target)) {
        Note("Cannot replace at restart: " + error.Target);
        return TFileErrorAction::Raise;
    }
    Journal.FileReplacedAtRestart(error.Target, error.Pending, error.Size, error.Crc32);
    return TFileErrorAction::Keep;
}
