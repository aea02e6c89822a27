// The recording fake of the desktop services.
#include "tests/setup/FakeDesktop.h"

#include "compress/Archiver.h"
#include "platform/Exception.h"
#include "platform/files/FileStream.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileTime.h"
#include "platform/text/AsciiCase.h"
#include "setup/PathText.h"
#include "setup/record/TextLine.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {
const char* KindText(TMsgDlgType kind) {
    switch (kind) {
    case TMsgDlgType::mtError:
        return "Error";
    case TMsgDlgType::mtInformation:
        return "Information";
    case TMsgDlgType::mtConfirmation:
        return "Confirm";
    }
    return "?";
}
} // namespace

bool TPathLess::operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return ToUpperAscii(x) < ToUpperAscii(y); });
}

TModalResult TFakeDesktop::MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) {
    Messages.push_back({text, kind, buttons});
    Log.Add(std::string(KindText(kind)) + ": " + text);
    if (!Answers.empty()) {
        TModalResult answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    return buttons == TMsgDlgButtons::mbOK ? TModalResult::mrOk : TModalResult::mrYes;
}

void TFakeDesktop::ShowException(const std::string& message) {
    Exceptions.push_back(message);
    Log.Add("Exception: " + message);
}

std::optional<std::string> TFakeDesktop::ChooseDirectory(const std::string& start) {
    ChooserStarts.push_back(start);
    return ChosenDirectory;
}

void TFakeDesktop::WriteMachineRegistryString(const std::string& key, const std::string& name,
                                              const std::string& value) {
    Log.Add("Registry " + key + " " + name + "=" + value);
    if (RegistryFails) throw ERegistryException("Failed to set data for '" + name + "'");
    Registry[key + "\\" + name] = value;
}

namespace {
const std::string& KeyOf(const std::string& entry) {
    return entry;
}
template <typename Pair>
const std::string& KeyOf(const Pair& entry) {
    return entry.first;
}

// The entries of a flat "key\\name" map or set of paths that lie below key.
template <typename Container>
std::vector<typename Container::iterator> Below(Container& entries, const std::string& key) {
    const std::string prefix = key + "\\";
    std::vector<typename Container::iterator> found;
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        const std::string& name = KeyOf(*it);
        if (name.size() > prefix.size() && SameText(name.substr(0, prefix.size()), prefix))
            found.push_back(it);
    }
    return found;
}
} // namespace

void TFakeDesktop::WriteMachineRegistryDword(const std::string& key, const std::string& name,
                                             uint32_t value) {
    WriteMachineRegistryString(key, name, "dword:" + std::to_string(value));
}

std::optional<std::string> TFakeDesktop::ReadMachineRegistryString(const std::string& key,
                                                                   const std::string& name) {
    auto found = Registry.find(key + "\\" + name);
    if (found == Registry.end() || found->second.rfind("dword:", 0) == 0) return std::nullopt;
    return found->second;
}

std::vector<std::pair<std::string, std::string>>
TFakeDesktop::ReadMachineRegistryStrings(const std::string& key) {
    std::vector<std::pair<std::string, std::string>> values;
    for (auto it : Below(Registry, key))
        if (it->second.rfind("dword:", 0) != 0)
            values.emplace_back(it->first.substr(key.size() + 1), it->second);
    return values;
}

bool TFakeDesktop::DeleteMachineRegistryValue(const std::string& key, const std::string& name) {
    Log.Add("DeleteValue " + key + " " + name);
    return Registry.erase(key + "\\" + name) > 0;
}

bool TFakeDesktop::DeleteMachineRegistryKey(const std::string& key, bool onlyIfEmpty) {
    const auto entries = Below(Registry, key);
    if (entries.empty() || onlyIfEmpty) return false;
    Log.Add("DeleteKey " + key);
    for (auto it : entries) Registry.erase(it);
    return true;
}

void TFakeDesktop::CurrentDate(int& year, int& month, int& day) {
    year = TodayYear;
    month = TodayMonth;
    day = TodayDay;
}

std::string TFakeDesktop::ProgramsFolder() {
    return Programs;
}

bool TFakeDesktop::MakeDirectory(const std::string& path) {
    CreatedDirectories.push_back(path);
    if (NewFoldersChangeable) ChangeableFolders.insert(path);
    Log.Add("CreateDirectory " + path);
    // On the disk too when files go there, as the installation expands into what it made.
    return !UseDisk || CreateDirectoryAt(path);
}

int32_t TFakeDesktop::CreateShellLink(const std::string& target, const std::string& workingDirectory,
                                      const std::string& description, const std::string& linkPath) {
    Log.Add("ShellLink " + linkPath);
    if (ShellLinkThrows) throw Exception("The shell refused the link");
    ShellLinks.push_back({target, workingDirectory, description, linkPath});
    return 0;
}

bool TFakeDesktop::WritePrivateProfile(const std::string& section, const std::string& key,
                                       const std::string& value, const std::string& fileName) {
    const std::string entry = fileName + " [" + section + "] " + key + "=" + value;
    Log.Add("Profile " + entry);
    if (ProfileFails) return false;
    ProfileWrites.push_back(entry);
    return true;
}

bool TFakeDesktop::Elevated() {
    return IsElevated;
}

bool TFakeDesktop::StartProcess(TStartRoute route, const std::string& program, const std::string& parameters,
                                const std::string& workingDirectory) {
    const std::string commandLine = "\"" + program + "\" " + parameters;
    Log.Add(std::string(route == TStartRoute::DesktopShell ? "ShellStart " : "Start ") + commandLine);
    if (FailingRoutes.count(route)) return false;
    StartedApplications.push_back(program);
    StartedCommandLines.push_back(commandLine);
    StartedRoutes.push_back(route);
    StartedDirectories.push_back(workingDirectory);
    return true;
}

std::string TFakeDesktop::ModulePath() {
    return ExePath;
}

std::optional<std::string> TFakeDesktop::LoadResource(const std::string& type, const std::string& name) {
    ResourceLookups.push_back(type + "/" + name);
    auto found = Resources.find(type + "/" + name);
    if (found == Resources.end()) return std::nullopt;
    return found->second;
}

std::unique_ptr<TStream> TFakeDesktop::OpenArchiveResource(TArchiver&, const std::string& name) {
    ResourceLookups.push_back("ARCHIVE/" + name);
    auto found = ArchiveResources.find(name);
    if (found == ArchiveResources.end()) throw EResNotFound("Resource " + name + " not found");
    return std::make_unique<TMemoryStream>(std::vector<uint8_t>(found->second.begin(), found->second.end()));
}

std::unique_ptr<TStream> TFakeDesktop::OpenFileRead(const std::string& path) {
    OpenedFiles.push_back(path);
    if (Unreadable.count(path)) throw EFOpenError("Cannot open file \"" + path + "\". Sharing violation");
    auto found = Files.find(path);
    if (found != Files.end())
        return std::make_unique<TMemoryStream>(
            std::vector<uint8_t>(found->second.Bytes.begin(), found->second.Bytes.end()));
    if (UseDisk) return TFileStream::OpenRead(path);
    throw EFOpenError("Cannot open file \"" + path + "\"");
}

std::string TFakeDesktop::ReadFirstLine(const std::string& path) {
    OpenedFiles.push_back(path);
    auto found = Files.find(path);
    if (found == Files.end() || ReadFails) throw EInOutError("I/O error 5 reading " + path);
    TMemoryStream stream(std::vector<uint8_t>(found->second.Bytes.begin(), found->second.Bytes.end()));
    return ::ReadFirstLine(stream);
}

bool TFakeDesktop::FileExists(const std::string& path) {
    if (Files.count(path)) return true;
    return UseDisk && ::FileExists(path);
}

bool TFakeDesktop::DirectoryExists(const std::string& path) {
    if (Directories.count(path) || !Below(Files, path).empty() || !Below(Directories, path).empty())
        return true;
    return UseDisk && ::DirectoryExists(path);
}

bool TFakeDesktop::IsReparsePoint(const std::string& path) {
    ReparseQueries.push_back(path);
    return ReparsePoints.count(path) != 0;
}

TFolderHold TFakeDesktop::HoldFolder(const std::string& path) {
    if (IsReparsePoint(path)) return {TFolderCheck::Link};
    if (!DirectoryExists(path)) return {};
    return {TFolderCheck::Held,
            TKeepAlive(new std::string(path), [](void* held) { delete static_cast<std::string*>(held); })};
}

bool TFakeDesktop::WriteWholeFile(const std::string& path, const std::string& bytes) {
    Log.Add("WriteFile " + path);
    if (!UseDisk) {
        Files[path] = {bytes};
        return true;
    }
    try {
        TFileStream::Create(path)->Write(bytes.data(), static_cast<int32_t>(bytes.size()));
        return true;
    } catch (const Exception&) {
        return false;
    }
}

TRemoveResult TFakeDesktop::RemoveFile(const std::string& path) {
    Log.Add("RemoveFile " + path);
    if (ReachedThroughLink(path)) return TRemoveResult::Refused;
    if (InUse.count(path)) return TRemoveResult::InUse;
    if (Files.erase(path)) return TRemoveResult::Removed;
    if (!UseDisk || !::FileExists(path)) return TRemoveResult::Missing;
    return DeleteFileAt(path) ? TRemoveResult::Removed : TRemoveResult::Failed;
}

TRemoveResult TFakeDesktop::RemoveFileIfUnchanged(const std::string& path,
                                                  const std::function<bool(TStream& bytes)>& unchanged) {
    if (ReachedThroughLink(path) || InUse.count(path)) return RemoveFile(path);
    if (const auto change = ChangeBeforeRemoval.find(path); change != ChangeBeforeRemoval.end()) {
        if (Files.count(path))
            Files[path].Bytes = change->second;
        else if (UseDisk)
            std::ofstream(path, std::ios::binary) << change->second;
    }
    if (!Files.count(path) && !(UseDisk && ::FileExists(path))) return TRemoveResult::Missing;
    const std::unique_ptr<TStream> bytes = OpenFileRead(path);
    if (!unchanged(*bytes)) return TRemoveResult::Changed;
    return RemoveFile(path);
}

bool TFakeDesktop::ReachedThroughLink(const std::string& path) const {
    // As the Win32 port sees it from the handle's final path: a link at any level.
    for (std::string at = path; !at.empty(); at = ExtractFileDir(at)) {
        if (ReparsePoints.count(at)) return true;
        if (ExtractFileDir(at) == at) break;
    }
    return false;
}

bool TFakeDesktop::ScheduleAtRestart(const std::string& from, const std::string& to) {
    Log.Add("ScheduleAtRestart " + from + " -> " + to);
    if (ScheduleFails) return false;
    Scheduled.push_back(from + " -> " + to);
    return true;
}

std::vector<std::string> TFakeDesktop::ProgramsUsing(const std::vector<std::string>& paths) {
    ProgramCalls.push_back("ProgramsUsing");
    AskedAbout = paths;
    std::vector<std::string> programs;
    for (const std::string& path : paths) {
        const auto holder = Holders.find(path);
        if (holder != Holders.end() &&
            std::find(programs.begin(), programs.end(), holder->second) == programs.end())
            programs.push_back(holder->second);
    }
    return programs;
}

bool TFakeDesktop::ClosePrograms() {
    ProgramCalls.push_back("ClosePrograms");
    if (CloseRefused) return false;
    for (auto holder = Holders.begin(); holder != Holders.end();) {
        InUse.erase(holder->first);
        holder = Holders.erase(holder);
    }
    return true;
}

bool TFakeDesktop::RestartPrograms() {
    ProgramCalls.push_back("RestartPrograms");
    return true;
}

void TFakeDesktop::EndSession() {
    ProgramCalls.push_back("EndSession");
}

bool TFakeDesktop::RemoveEmptyDirectory(const std::string& path) {
    if (ReachedThroughLink(path)) return false;
    if (!Below(Files, path).empty() || !Below(Directories, path).empty()) return false;
    Log.Add("RemoveDirectory " + path);
    if (Directories.erase(path)) return true;
    std::error_code error;
    return UseDisk && std::filesystem::remove(NativePath(path), error) && !error;
}

bool TFakeDesktop::OthersCanChange(const std::string& folder, bool entries) {
    return ChangeableFolders.count(folder) || (entries && ChangeableEntries.count(folder));
}

bool TFakeDesktop::ProtectFolder(const std::string& folder) {
    Log.Add("ProtectFolder " + folder);
    if (ReparsePoints.count(folder)) return false;
    ProtectedFolders.push_back(folder);
    ChangeableFolders.erase(folder);
    ChangeableEntries.erase(folder);
    return true;
}

std::optional<int32_t> TFakeDesktop::FindFileTimeStamp(const std::string& path) {
    auto found = Files.find(path);
    if (found != Files.end()) {
        if (found->second.Hidden) return std::nullopt;
        return found->second.TimeStamp;
    }
    if (UseDisk) return GetFileDateTime(path);
    return std::nullopt;
}

std::string TFakeDesktop::FormatShortDate(int year, int month, int day) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", day, month, year);
    return text;
}

std::string TFakeDesktop::FormatLongTime(int hour, int minute, int second) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
    return text;
}
