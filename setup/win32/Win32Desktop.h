// The desktop services of the Win32 build for TMainForm: modal boxes owned by the wizard's window,
// the folder chooser, registry, shell, profile and process services, the module's path and
// resources, file queries and the locale's formats.
#pragma once

#include "setup/FormPorts.h"

#include <windows.h>

class TWin32Desktop : public TDesktop {
public:
    TWin32Desktop(HWND owner, std::string applicationTitle)
        : Owner(owner), Title(std::move(applicationTitle)) {}

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
    TStartRoute StartProcess(const std::string& applicationPath, const std::string& commandLine) override;
    std::string ModulePath() override;
    std::optional<std::string> LoadResource(const std::string& type, const std::string& name) override;
    std::unique_ptr<TStream> OpenArchiveResource(TArchiver& archiver, const std::string& name) override;
    std::unique_ptr<TStream> OpenFileRead(const std::string& path) override;
    std::string ReadFirstLine(const std::string& path) override;
    bool FileExists(const std::string& path) override;
    bool DirectoryExists(const std::string& path) override;
    bool IsReparsePoint(const std::string& path) override;
    bool WriteWholeFile(const std::string& path, const std::string& bytes) override;
    bool RemoveFile(const std::string& path) override;
    bool RemoveEmptyDirectory(const std::string& path) override;
    std::optional<int32_t> FindFileTimeStamp(const std::string& path) override;
    std::string FormatShortDate(int year, int month, int day) override;
    std::string FormatLongTime(int hour, int minute, int second) override;

private:
    HWND Owner;
    std::string Title;
};
