// The desktop services of the Win32 build for TMainForm: one class per port (setup/win32/desktop/),
// and TWin32Desktop, which holds one of each.
#pragma once

#include "setup/win32/desktop/Win32Dialogs.h"
#include "setup/win32/desktop/Win32Files.h"
#include "setup/win32/desktop/Win32Locale.h"
#include "setup/win32/desktop/Win32Module.h"
#include "setup/win32/desktop/Win32ProgramStarter.h"
#include "setup/win32/desktop/Win32Registry.h"
#include "setup/win32/desktop/Win32RunningPrograms.h"
#include "setup/win32/desktop/Win32Shortcuts.h"

class TWin32Desktop {
public:
    TWin32Desktop(HWND owner, std::string applicationTitle) : Dialogs(owner, std::move(applicationTitle)) {}
    TWin32Desktop(const TWin32Desktop&) = delete;
    TWin32Desktop& operator=(const TWin32Desktop&) = delete;

    operator TDesktop() { return {Dialogs, Registry, Shortcuts, Starter, Files, Module, Locale, Programs}; }

    TWin32Dialogs Dialogs;
    TWin32Registry Registry;
    TWin32Shortcuts Shortcuts;
    TWin32ProgramStarter Starter;
    TWin32Files Files;
    TWin32Module Module;
    TWin32Locale Locale;
    TWin32RunningPrograms Programs;
};
