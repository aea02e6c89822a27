// The Win32 desktop services; most are one call into setup/win32/desktop/Desktop.h, the rest turn the
// platform's failures into the exceptions the wizard expects.
#include "setup/win32/Win32Desktop.h"

#include "compress/Archiver.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "setup/MainForm.h"
#include "setup/record/TextLine.h"
#include "setup/win32/desktop/Desktop.h"

TModalResult TWin32Dialogs::MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) {
    UINT flags = buttons == TMsgDlgButtons::mbYesNo ? MB_YESNO : MB_OK;
    const char* caption = "Error";
    switch (kind) {
    case TMsgDlgType::mtError:
        flags |= MB_ICONERROR;
        break;
    case TMsgDlgType::mtInformation:
        flags |= MB_ICONINFORMATION;
        caption = "Information";
        break;
    case TMsgDlgType::mtConfirmation:
        flags |= MB_ICONQUESTION;
        caption = "Confirm";
        break;
    }
    switch (MessageBoxA(IsWindowVisible(Owner) ? Owner : nullptr, text.c_str(), caption,
                        flags | MB_SETFOREGROUND)) {
    case IDOK:
        return TModalResult::mrOk;
    case IDYES:
        return TModalResult::mrYes;
    case IDNO:
        return TModalResult::mrNo;
    default:
        return TModalResult::mrNone;
    }
}

void TWin32Dialogs::ShowException(const std::string& message) {
    MessageBoxA(IsWindowVisible(Owner) ? Owner : nullptr, message.c_str(), Title.c_str(),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

std::optional<std::string> TWin32Dialogs::ChooseDirectory(const std::string& start) {
    return desktop::ChooseDirectory(Owner, start, "Select Directory");
}

void TWin32Registry::WriteMachineRegistryString(const std::string& key, const std::string& name,
                                                const std::string& value) {
    if (!desktop::WriteMachineString(key, name, value))
        throw ERegistryException("Failed to set data for '" + name + "'");
}

void TWin32Registry::WriteMachineRegistryDword(const std::string& key, const std::string& name,
                                               uint32_t value) {
    if (!desktop::WriteMachineDword(key, name, value))
        throw ERegistryException("Failed to set data for '" + name + "'");
}

std::optional<std::string> TWin32Registry::ReadMachineRegistryString(const std::string& key,
                                                                     const std::string& name) {
    return desktop::ReadMachineString(key, name);
}

std::vector<std::pair<std::string, std::string>>
TWin32Registry::ReadMachineRegistryStrings(const std::string& key) {
    return desktop::ReadMachineStrings(key);
}

bool TWin32Registry::DeleteMachineRegistryValue(const std::string& key, const std::string& name) {
    return desktop::DeleteMachineValue(key, name);
}

bool TWin32Registry::DeleteMachineRegistryKey(const std::string& key, bool onlyIfEmpty) {
    return desktop::DeleteMachineKey(key, onlyIfEmpty);
}

void TWin32Locale::CurrentDate(int& year, int& month, int& day) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    year = now.wYear;
    month = now.wMonth;
    day = now.wDay;
}

std::string TWin32Shortcuts::ProgramsFolder() {
    return desktop::ProgramsFolder(Owner);
}

bool TWin32Files::MakeDirectory(const std::string& path) {
    return CreateDirectoryAt(path);
}

int32_t TWin32Shortcuts::CreateShellLink(const std::string& target, const std::string& workingDirectory,
                                         const std::string& description, const std::string& linkPath) {
    return static_cast<int32_t>(desktop::CreateShellLink(target, workingDirectory, description, linkPath));
}

bool TWin32Files::WritePrivateProfile(const std::string& section, const std::string& key,
                                      const std::string& value, const std::string& fileName) {
    return desktop::WriteProfileString(section, key, value, fileName);
}

bool TWin32Module::Elevated() {
    return desktop::ProcessIsElevated();
}

bool TWin32ProgramStarter::StartProcess(TStartRoute route, const std::string& program,
                                        const std::string& parameters, const std::string& workingDirectory) {
    // The shell quotes the program itself; the direct start gets it quoted, so that a path with
    // blanks cannot be taken for a shorter one.
    if (route == TStartRoute::DesktopShell)
        return desktop::StartThroughDesktopShell(program, parameters, workingDirectory);
    return desktop::StartProcess(program, "\"" + program + "\" " + parameters, workingDirectory);
}

std::string TWin32Module::ModulePath() {
    return desktop::ModuleFileName();
}

std::optional<std::string> TWin32Module::LoadResource(const std::string& type, const std::string& name) {
    return desktop::LoadModuleResource(type, name);
}

std::unique_ptr<TStream> TWin32Module::OpenArchiveResource(TArchiver& archiver, const std::string& name) {
    return archiver.OpenArchiveResource(name, "");
}

std::unique_ptr<TStream> TWin32Files::OpenFileRead(const std::string& path) {
    return TFileStream::OpenRead(path);
}

std::string TWin32Files::ReadFirstLine(const std::string& path) {
    try {
        std::unique_ptr<TFileStream> file = TFileStream::OpenRead(path);
        return ::ReadFirstLine(*file);
    } catch (const Exception& e) {
        throw EInOutError(e.Message);
    }
}

bool TWin32Files::FileExists(const std::string& path) {
    return ::FileExists(path);
}

bool TWin32Files::DirectoryExists(const std::string& path) {
    return ::DirectoryExists(path);
}

bool TWin32Files::IsReparsePoint(const std::string& path) {
    // Without its trailing backslash, so that the entry itself is asked about, not what it leads to.
    std::string entry = path;
    while (entry.size() > 3 && (entry.back() == '\\' || entry.back() == '/')) entry.pop_back();
    const DWORD attributes = GetFileAttributesA(entry.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool TWin32Files::WriteWholeFile(const std::string& path, const std::string& bytes) {
    try {
        TFileStream::Create(path)->Write(bytes.data(), static_cast<int32_t>(bytes.size()));
        return true;
    } catch (const Exception&) {
        return false;
    }
}

bool TWin32Files::RemoveFile(const std::string& path) {
    // Installed files keep the archive's attributes, the read-only bit among them.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    return DeleteFileA(path.c_str()) != 0;
}

bool TWin32Files::RemoveEmptyDirectory(const std::string& path) {
    return RemoveDirectoryA(path.c_str()) != 0;
}

std::optional<int32_t> TWin32Files::FindFileTimeStamp(const std::string& path) {
    return desktop::FindFileTimeStamp(path);
}

std::string TWin32Locale::FormatShortDate(int year, int month, int day) {
    return desktop::FormatShortDate(year, month, day);
}

std::string TWin32Locale::FormatLongTime(int hour, int minute, int second) {
    return desktop::FormatLongTime(hour, minute, second);
}
