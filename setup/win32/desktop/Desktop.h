// Win32 services that only the setup wizard needs: the directory chooser, the machine registry
// write, the Programs folder and shell links, private-profile writes, starting a process, the
// module's own path and resources, the file time stamp search and the locale's date and time
// formats. Each is a thin, separately testable wrapper over the Win32 API.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

namespace desktop {

// The modal folder chooser, owned by owner, starting at start (or at the current directory when
// start is not an existing directory). A typed name of a directory that does not exist yet is
// accepted as it is, relative names below the folder selected. Empty when cancelled.
std::optional<std::string> ChooseDirectory(HWND owner, const std::string& start, const std::string& title);
// What the chooser's edit box names when its OK is pressed: nothing when it still shows the
// selected folder's display name (or is empty), else the typed directory, relative names below
// the selected folder.
std::optional<std::string> TypedDirectory(const std::string& selected, const std::string& selectedName,
                                          const std::string& text);

// Opens or creates HKEY_LOCAL_MACHINE\key with full access and writes a REG_SZ value; false when
// the key cannot be opened or the value cannot be written.
bool WriteMachineString(const std::string& key, const std::string& name, const std::string& value);

bool WriteMachineDword(const std::string& key, const std::string& name, uint32_t value);
// A REG_SZ value of HKEY_LOCAL_MACHINE\key; nothing when it is missing or of another type.
std::optional<std::string> ReadMachineString(const std::string& key, const std::string& name);
// Every REG_SZ value of HKEY_LOCAL_MACHINE\key, in the registry's order.
std::vector<std::pair<std::string, std::string>> ReadMachineStrings(const std::string& key);
bool DeleteMachineValue(const std::string& key, const std::string& name);
// Deletes HKEY_LOCAL_MACHINE\key when it has no subkeys, and (with onlyIfEmpty) no values.
bool DeleteMachineKey(const std::string& key, bool onlyIfEmpty);

// The current user's Start-menu Programs folder (CSIDL_PROGRAMS); empty when the shell cannot tell.
std::string ProgramsFolder(HWND owner);
// Creates a shell link at linkPath to target with the working directory and description; returns
// the COM result of the first call that failed, or of saving the link.
HRESULT CreateShellLink(const std::string& target, const std::string& workingDirectory,
                        const std::string& description, const std::string& linkPath);

bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& fileName);

// Starts applicationPath with commandLine and a normally shown window in workingDirectory (the
// current one when empty); does not wait.
bool StartProcess(const std::string& applicationPath, const std::string& commandLine,
                  const std::string& workingDirectory = "");
// Has the desktop's shell (Explorer) start file with parameters in directory, so that it runs as
// the user who owns the desktop; false when there is no such shell or it refused.
bool StartThroughDesktopShell(const std::string& file, const std::string& parameters,
                              const std::string& directory);

std::string ModuleFileName();
std::wstring ModuleFileNameW();

// True when the file or folder at path is a reparse point (a junction, a symbolic link).
bool IsReparsePoint(const std::wstring& path);
// A new folder below the temporary folder (GetTempPath2W where Windows has it), named prefix and
// 16 random hexadecimal digits; with restricted, its protected DACL gives Administrators and SYSTEM
// full control and the process's user read and execute. Empty when it cannot be made safely.
std::wstring CreatePrivateTemporaryFolder(const std::wstring& prefix, bool restricted);
// True when this process runs with an elevated (administrator's full) token.
bool ProcessIsElevated();
// The bytes of a resource of the executable, or nothing when there is none.
std::optional<std::string> LoadModuleResource(const std::string& type, const std::string& name);

// The packed local last-write time of exactly path, if it names a file that is neither a
// directory, hidden nor a system file. Times outside 1980..2107 are clamped to that range.
std::optional<int32_t> FindFileTimeStamp(const std::string& path);

std::string FormatShortDate(int year, int month, int day);
std::string FormatLongTime(int hour, int minute, int second);

} // namespace desktop
