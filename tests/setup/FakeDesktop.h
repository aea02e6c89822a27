// A recording fake of the desktop services. Message boxes answer from a queue, files live in an
// in-memory table keyed by Windows path (letter case ignored) and, when UseDisk is set, also on
// the real disk through the platform layer, so that files written by the real archive component
// are seen. Every call that the installation order depends on is appended to the shared log.
#pragma once

#include "setup/FormPorts.h"
#include "setup/PathText.h"
#include "setup/unattended/InstallLog.h"
#include "tests/setup/FakeControls.h"

#include <algorithm>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct TFakeFile {
    std::string Bytes;
    int32_t TimeStamp = 0;
    bool Hidden = false; // hidden and system files are invisible to the time stamp search
};

struct TMessageRecord {
    std::string Text;
    TMsgDlgType Kind;
    TMsgDlgButtons Buttons;
};

struct TShellLinkRecord {
    std::string Target, WorkingDirectory, Description, LinkPath;
};

// Orders Windows paths ignoring the case of A to Z.
struct TPathLess {
    bool operator()(const std::string& a, const std::string& b) const;
};

// A log that keeps its lines in memory.
struct TLinesLog : TInstallLog {
    void Write(const std::string& line) override { Lines.push_back(line); }
    bool Has(const std::string& line) const {
        return std::find(Lines.begin(), Lines.end(), line) != Lines.end();
    }
    std::vector<std::string> Lines;
};

class TFakeDesktop : public TDialogs,
                     public TMachineRegistry,
                     public TShortcuts,
                     public TProgramStarter,
                     public TFiles,
                     public TModule,
                     public TLocale,
                     public TRunningPrograms {
public:
    explicit TFakeDesktop(TCallLog& log) : Log(log) {}

    // Every part of the desktop is this fake.
    operator TDesktop() { return {*this, *this, *this, *this, *this, *this, *this, *this}; }
    operator TInstallPorts() { return {*this, *this, *this, *this, *this, *this, *this}; }
    operator TUninstallPorts() { return {*this, *this, *this, *this, *this}; }

    TModalResult MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) override;
    void ShowException(const std::string& message) override;
    std::optional<std::string> ChooseDirectory(const std::string& start) override;
    void WriteMachineRegistryString(const std::string& key, const std::string& name,
                                    const std::string& value) override;
    void WriteMachineRegistryDword(const std::string& key, const std::string& name, uint32_t value) override;
    std::optional<std::string> ReadMachineRegistryString(const std::string& key,
                                                         const std::string& name) override;
    std::vector<std::pair<std::string, std::string>>
    ReadMachineRegistryStrings(const std::string& key) override;
    bool DeleteMachineRegistryValue(const std::string& key, const std::string& name) override;
    bool DeleteMachineRegistryKey(const std::string& key, bool onlyIfEmpty) override;
    void CurrentDate(int& year, int& month, int& day) override;
    std::string ProgramsFolder() override;
    bool MakeDirectory(const std::string& path) override;
    int32_t CreateShellLink(const std::string& target, const std::string& workingDirectory,
                            const std::string& description, const std::string& linkPath) override;
    bool WritePrivateProfile(const std::string& section, const std::string& key, const std::string& value,
                             const std::string& fileName) override;
    bool Elevated() override;
    bool StartProcess(TStartRoute route, const std::string& program, const std::string& parameters,
                      const std::string& workingDirectory) override;
    std::string ModulePath() override;
    std::optional<std::string> LoadResource(const std::string& type, const std::string& name) override;
    std::unique_ptr<TStream> OpenArchiveResource(TArchiver& archiver, const std::string& name) override;
    std::unique_ptr<TStream> OpenFileRead(const std::string& path) override;
    std::string ReadFirstLine(const std::string& path) override;
    bool FileExists(const std::string& path) override;
    bool DirectoryExists(const std::string& path) override;
    bool IsReparsePoint(const std::string& path) override;
    TFolderHold HoldFolder(const std::string& path) override;
    bool WriteWholeFile(const std::string& path, const std::string& bytes) override;
    TRemoveResult RemoveFile(const std::string& path) override;
    // Reads the bytes as OpenFileRead does; ChangeBeforeRemoval changes them first (a file changed
    // between the uninstaller's first look and the removal).
    TRemoveResult RemoveFileIfUnchanged(const std::string& path,
                                        const std::function<bool(TStream& bytes)>& unchanged) override;
    bool ScheduleAtRestart(const std::string& from, const std::string& to) override;
    std::vector<std::string> ProgramsUsing(const std::vector<std::string>& paths) override;
    bool ClosePrograms() override;
    bool RestartPrograms() override;
    void EndSession() override;
    bool RemoveEmptyDirectory(const std::string& path) override;
    bool OthersCanChange(const std::string& folder, bool entries) override;
    bool ProtectFolder(const std::string& folder) override;
    std::optional<int32_t> FindFileTimeStamp(const std::string& path) override;
    std::string FormatShortDate(int year, int month, int day) override;
    std::string FormatLongTime(int hour, int minute, int second) override;

    // A link at path or at any folder above it, as ReparsePoints says.
    bool ReachedThroughLink(const std::string& path) const;

    TCallLog& Log;

    // Answers of the message boxes, first in first out; when empty, OK and Yes are pressed.
    std::deque<TModalResult> Answers;
    std::vector<TMessageRecord> Messages;
    std::vector<std::string> Exceptions;
    std::vector<std::string> ChooserStarts;
    std::optional<std::string> ChosenDirectory; // nothing: the chooser is cancelled
    // "key\name" -> value; DWORD values as "dword:N". Value names may hold backslashes.
    std::map<std::string, std::string, TPathLess> Registry;
    bool RegistryFails = false;
    std::string Programs = "C:\\Users\\pat\\Start Menu\\Programs";
    std::vector<std::string> CreatedDirectories;
    std::vector<TShellLinkRecord> ShellLinks;
    bool ShellLinkThrows = false;
    std::vector<std::string> ProfileWrites; // "file [section] key=value"
    bool ProfileFails = false;
    bool IsElevated = false;
    std::set<TStartRoute> FailingRoutes;
    std::vector<std::string> StartedApplications;
    std::vector<std::string> StartedCommandLines; // the program quoted, a blank, the parameters
    std::vector<TStartRoute> StartedRoutes;
    std::vector<std::string> StartedDirectories;
    std::set<std::string, TPathLess> ReparsePoints; // existing files and folders that are links
    std::vector<std::string> ReparseQueries;        // IsReparsePoint's paths, in order
    // Existing folders whose access lets others change them; with ...Entries, only their entries.
    std::set<std::string, TPathLess> ChangeableFolders, ChangeableEntries;
    bool NewFoldersChangeable = false; // what a new folder inherits lets others change it
    std::vector<std::string> ProtectedFolders;
    std::string ExePath = "C:\\Setup\\setup.exe";
    std::map<std::string, std::string> Resources;        // "TYPE/NAME" -> bytes
    std::map<std::string, std::string> ArchiveResources; // name -> archive bytes
    std::map<std::string, TFakeFile, TPathLess> Files;
    std::set<std::string, TPathLess> Directories; // besides those that hold a file of Files
    bool UseDisk = false;
    int TodayYear = 2026, TodayMonth = 12, TodayDay = 8;
    bool ReadFails = false;                      // the fallback support file cannot be read
    std::set<std::string, TPathLess> Unreadable; // files another program holds: OpenFileRead fails
    std::map<std::string, std::string, TPathLess> ChangeBeforeRemoval;
    std::vector<std::string> OpenedFiles; // OpenFileRead and ReadFirstLine, in order
    // Files that RemoveFile finds held past its retries, and that ScheduleAtRestart cannot take.
    std::set<std::string, TPathLess> InUse;
    bool ScheduleFails = false;
    // "from -> to" (to empty: deleted) in the order scheduled.
    std::vector<std::string> Scheduled;
    // The Restart Manager: the program that holds each file, and whether it refuses to close.
    std::map<std::string, std::string, TPathLess> Holders;
    bool CloseRefused = false;
    std::vector<std::string> AskedAbout; // the paths of the last ProgramsUsing
    // Every call of the Restart Manager port, in order.
    std::vector<std::string> ProgramCalls;
    std::vector<std::string> ResourceLookups;
};
