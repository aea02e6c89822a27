// What a setup program needs to know of its own process and to run another program safely: whether
// it runs elevated, whether a path is a link, and a private folder for a file it is about to run
// (the uninstaller's temporary copy). Its executable's path is OwnExecutablePath()
// (platform/files/FileSystem.h).
#pragma once

#include <string>

// True when this process runs with an elevated (administrator's full) token.
bool ProcessIsElevated();

// True when the file or folder at path (UTF-16, as the wide calls take it) is itself a reparse
// point (a junction, a symbolic link).
bool IsReparsePoint(const std::wstring& path);

// A new folder below the temporary folder (GetTempPath2W where Windows has it), named prefix and
// 16 random hexadecimal digits; with restricted, its protected DACL gives Administrators and SYSTEM
// full control and the process's user read and execute. Empty when it cannot be made safely.
std::wstring CreatePrivateTemporaryFolder(const std::wstring& prefix, bool restricted);

// Removes what earlier runs left below the temporary folder: each folder named prefix and 16
// hexadecimal digits, with fileName in it, each opened without following a link and removed only
// where its final path is the one asked for.
void RemoveEarlierPrivateFolders(const std::wstring& prefix, const std::string& fileName);
