// A desktop that hands every service to another one. Product code that changes a few answers of
// the desktop (the unattended run) derives from it and overrides only those.
#pragma once

#include "setup/FormPorts.h"

class TForwardingDesktop : public TDesktop {
public:
    explicit TForwardingDesktop(TDesktop& inner) : Inner(inner) {}

    TModalResult MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) override {
        return Inner.MessageDlg(text, kind, buttons);
    }
    void ShowException(const std::string& message) override { Inner.ShowException(message); }
    std::optional<std::string> ChooseDirectory(const std::string& start) override {
        return Inner.ChooseDirectory(start);
    }
    void WriteMachineRegistryString(const std::string& key, const std::string& name,
                                    const std::string& value) override {
        Inner.WriteMachineRegistryString(key, name, value);
    }
    void WriteMachineRegistryDword(const std::string& key, const std::string& name, uint32_t value) override {
        Inner.WriteMachineRegistryDword(key, name, value);
    }
    std::optional<std::string> ReadMachineRegistryString(const std::string& key,
                                                         const std::string& name) override {
        return Inner.ReadMachineRegistryString(key, name);
    }
    std::vector<std::pair<std::string, std::string>>
    ReadMachineRegistryStrings(const std::string& key) override {
        return Inner.ReadMachineRegistryStrings(key);
    }
    bool DeleteMachineRegistryValue(const std::string& key, const std::string& name) override {
        return Inner.DeleteMachineRegistryValue(key, name);
    }
    bool DeleteMachineRegistryKey(const std::string& key, bool onlyIfEmpty) override {
        return Inner.DeleteMachineRegistryKey(key, onlyIfEmpty);
    }
    void CurrentDate(int& year, int& month, int& day) override { Inner.CurrentDate(year, month, day); }
    std::string ProgramsFolder() override { return Inner.ProgramsFolder(); }
    bool MakeDirectory(const std::string& path) override { return Inner.MakeDirectory(path); }
    int32_t CreateShellLink(const std::string& target, const std::string& workingDirectory,
                            const std::string& description, const std::string& linkPath) override {
        return Inner.CreateShellLink(target, workingDirectory, description, linkPath);
    }
    bool WritePrivateProfile(const std::string& section, const std::string& key, const std::string& value,
                             const std::string& fileName) override {
        return Inner.WritePrivateProfile(section, key, value, fileName);
    }
    TStartRoute StartProcess(const std::string& applicationPath, const std::string& commandLine) override {
        return Inner.StartProcess(applicationPath, commandLine);
    }
    std::string ModulePath() override { return Inner.ModulePath(); }
    std::optional<std::string> LoadResource(const std::string& type, const std::string& name) override {
        return Inner.LoadResource(type, name);
    }
    std::unique_ptr<TStream> OpenArchiveResource(TArchiver& archiver, const std::string& name) override {
        return Inner.OpenArchiveResource(archiver, name);
    }
    std::unique_ptr<TStream> OpenFileRead(const std::string& path) override {
        return Inner.OpenFileRead(path);
    }
    std::string ReadFirstLine(const std::string& path) override { return Inner.ReadFirstLine(path); }
    bool FileExists(const std::string& path) override { return Inner.FileExists(path); }
    bool DirectoryExists(const std::string& path) override { return Inner.DirectoryExists(path); }
    bool IsReparsePoint(const std::string& path) override { return Inner.IsReparsePoint(path); }
    bool WriteWholeFile(const std::string& path, const std::string& bytes) override {
        return Inner.WriteWholeFile(path, bytes);
    }
    bool RemoveFile(const std::string& path) override { return Inner.RemoveFile(path); }
    bool RemoveEmptyDirectory(const std::string& path) override { return Inner.RemoveEmptyDirectory(path); }
    std::optional<int32_t> FindFileTimeStamp(const std::string& path) override {
        return Inner.FindFileTimeStamp(path);
    }
    std::string FormatShortDate(int year, int month, int day) override {
        return Inner.FormatShortDate(year, month, day);
    }
    std::string FormatLongTime(int hour, int minute, int second) override {
        return Inner.FormatLongTime(hour, minute, second);
    }

protected:
    TDesktop& Inner;
};
