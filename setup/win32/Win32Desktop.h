// The desktop services of the Win32 build for TMainForm, one class per part of the desktop: modal
// boxes owned by the wizard's window and the folder chooser, the machine registry, the Start menu's
// shortcuts, starting a program, files, the module's path, rights and resources, and the locale's
// formats. TWin32Desktop holds one of each.
#pragma once

#include "setup/FormPorts.h"

#include <windows.h>

class TWin32Dialogs : public TDialogs {
public:
    TWin32Dialogs(HWND owner, std::string applicationTitle)
        : Owner(owner), Title(std::move(applicationTitle)) {}

    TModalResult MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) override;
    void ShowException(const std::string& message) override;
    std::optional<std::string> ChooseDirectory(const std::string& start) override;

private:
    HWND Owner;
    std::string Title;
};

class TWin32Registry : public TMachineRegistry {
public:
    void WriteMachineRegistryString(const std::string& key, const std::string& name,
                                    const std::string& value) override;
    void WriteMachineRegistryDword(const std::string& key, const std::string& name, uint32_t value) override;
    std::optional<std::string> ReadMachineRegistryString(const std::string& key,
                                                         const std::string& name) override;
    std::vector<std::pair<std::string, std::string>>
    ReadMachineRegistryStrings(const std::string& key) override;
    bool DeleteMachineRegistryValue(const std::string& key, const std::string& name) override;
    bool DeleteMachineRegistryKey(const std::string& key, bool onlyIfEmpty) override;
};

class TWin32Shortcuts : public TShortcuts {
public:
    explicit TWin32Shortcuts(HWND owner) : Owner(owner) {}

    std::string ProgramsFolder() override;
    int32_t CreateShellLink(const std::string& target, const std::string& workingDirectory,
                            const std::string& description, const std::string& linkPath) override;

private:
    HWND Owner;
};

class TWin32ProgramStarter : public TProgramStarter {
public:
    bool StartProcess(TStartRoute route, const std::string& program, const std::string& parameters,
                      const std::string& workingDirectory) override;
};

class TWin32Files : public TFiles {
public:
    bool MakeDirectory(const std::string& path) override;
    bool WritePrivateProfile(const std::string& section, const std::string& key, const std::string& value,
                             const std::string& fileName) override;
    std::unique_ptr<TStream> OpenFileRead(const std::string& path) override;
    std::string ReadFirstLine(const std::string& path) override;
    bool FileExists(const std::string& path) override;
    bool DirectoryExists(const std::string& path) override;
    bool IsReparsePoint(const std::string& path) override;
    bool WriteWholeFile(const std::string& path, const std::string& bytes) override;
    bool RemoveFile(const std::string& path) override;
    bool RemoveEmptyDirectory(const std::string& path) override;
    std::optional<int32_t> FindFileTimeStamp(const std::string& path) override;
};

class TWin32Module : public TModule {
public:
    std::string ModulePath() override;
    bool Elevated() override;
    std::optional<std::string> LoadResource(const std::string& type, const std::string& name) override;
    std::unique_ptr<TStream> OpenArchiveResource(TArchiver& archiver, const std::string& name) override;
};

class TWin32Locale : public TLocale {
public:
    void CurrentDate(int& year, int& month, int& day) override;
    std::string FormatShortDate(int year, int month, int day) override;
    std::string FormatLongTime(int hour, int minute, int second) override;
};

class TWin32Desktop {
public:
    TWin32Desktop(HWND owner, std::string applicationTitle)
        : Dialogs(owner, std::move(applicationTitle)), Shortcuts(owner) {}
    TWin32Desktop(const TWin32Desktop&) = delete;
    TWin32Desktop& operator=(const TWin32Desktop&) = delete;

    operator TDesktop() { return {Dialogs, Registry, Shortcuts, Starter, Files, Module, Locale}; }

    TWin32Dialogs Dialogs;
    TWin32Registry Registry;
    TWin32Shortcuts Shortcuts;
    TWin32ProgramStarter Starter;
    TWin32Files Files;
    TWin32Module Module;
    TWin32Locale Locale;
};
