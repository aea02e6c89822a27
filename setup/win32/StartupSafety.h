// Start-up safety of the programs that may run elevated: setup.exe, the setups made from the
// template, the uninstaller and its temporary copy. Such a program is often started from a folder
// that anyone can write to (Downloads, the temporary folder), so a DLL lying beside it must never
// be loaded in place of a system DLL.
//
// The programs import only KERNEL32 and the C runtime statically; every other system DLL is a
// delay-loaded import that the hook in StartupSafety.cpp loads from System32 alone on first use.
// (No load configuration with DependentLoadFlags is emitted: GNU ld 2.40 does not enter a
// `_load_config_used` in the image, and with no static import beyond the two known system DLLs
// it would change nothing.)
#pragma once

#include <string>

#include <windows.h>

// Called first by each entry point: limits the DLL search of the whole process (our own loads,
// those of the system DLLs we use and of COM) to System32, takes the current folder out of it,
// turns on safe search mode and, where Windows offers them, the mitigations that make the loader
// prefer System32 and refuse junctions planted by a non-administrator. What the system lacks is
// skipped: each call is looked up at run time.
void SecureProcessStartup();

// Loads a system DLL (a bare name such as "shell32.dll") from System32 only; nullptr when it
// cannot. Where Windows lacks the System32-only search (Windows 7 without KB2533623) the DLL is
// loaded by its full System32 path, its own imports searched from there.
HMODULE LoadSystemLibrary(const std::string& name);
