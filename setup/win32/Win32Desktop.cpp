// The Win32 desktop services; most are one call into platform/win32/Desktop.h, the rest turn the
// platform's failures into the exceptions the wizard expects.
#include "setup/win32/Win32Desktop.h"

#include "compress/Archiver.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/win32/Desktop.h"
#include "setup/MainForm.h"
#include "setup/record/TextLine.h"

TModalResult TWin32Desktop::MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) {
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

void TWin32Desktop::ShowException(const std::string& message) {
    MessageBoxA(IsWindowVisible(Owner) ? Owner : nullptr, message.c_str(), Title.c_str(),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

std::optional<std::string> TWin32Desktop::ChooseDirectory(const std::string& start) {
    return desktop::ChooseDirectory(Owner, start, "Select Directory");
}

void TWin32Desktop::WriteMachineRegistryString(const std::string& key, const std::string& name,
                                               const std::string& value) {
    if (!desktop::WriteMachineString(key, name, value))
        throw ERegistryException("Failed to set data for '" + name + "'");
}

void TWin32Desktop::WriteMachineRegistryDword(const std::string& key, const std::string& name,
                                              uint32_t value) {
    if (!desktop::WriteMachineDword(key, name, value))
        throw ERegistryException("Failed to set data for '" + name + "'");
}

std::optional<std::string> TWin32Desktop::ReadMachineRegistryString(const std::string& key,
                                                                    const std::string& name) {
    return desktop::ReadMachineString(key, name);
}

std::vector<std::pair<std::string, std::string>>
TWin32Desktop::ReadMachineRegistryStrings(const std::string& key) {
    return desktop::ReadMachineStrings(key);
}

bool TWin32Desktop::DeleteMachineRegistryValue(const std::string& key, const std::string& name) {
    return desktop::DeleteMachineValue(key, name);
}

bool TWin32Desktop::DeleteMachineRegistryKey(const std::string& key, bool onlyIfEmpty) {
    return desktop::DeleteMachineKey(key, onlyIfEmpty);
}

void TWin32Desktop::CurrentDate(int& year, int& month, int& day) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    year = now.wYear;
    month = now.wMonth;
    day = now.wDay;
}

std::string TWin32Desktop::ProgramsFolder() {
    return desktop::ProgramsFolder(Owner);
}

bool TWin32Desktop::MakeDirectory(const std::string& path) {
    return CreateDirectoryAt(path);
}

int32_t TWin32Desktop::CreateShellLink(const std::string& target, const std::string& workingDirectory,
                                       const std::string& description, const std::string& linkPath) {
    return static_cast<int32_t>(desktop::CreateShellLink(target, workingDirectory, description, linkPath));
}

bool TWin32Desktop::WritePrivateProfile(const std::string& section, const std::string& key,
                                        const std::string& value, const std::string& fileName) {
    return desktop::WriteProfileString(section, key, value, fileName);
}

TStartRoute TWin32Desktop::StartProcess(const std::string& applicationPath, const std::string& commandLine) {
    // The elevated setup would hand its own rights and profile on; the desktop's shell starts the
    // program as the user who started the setup. The shell quotes the program itself, so only
    // what follows it on the command line is passed on.
    std::string parameters = commandLine;
    if (parameters.compare(0, applicationPath.size(), applicationPath) == 0)
        parameters.erase(0, applicationPath.size());
    while (!parameters.empty() && parameters.front() == ' ') parameters.erase(0, 1);
    const size_t slash = applicationPath.find_last_of('\\');
    const std::string directory =
        slash == std::string::npos ? std::string() : applicationPath.substr(0, slash);
    if (desktop::StartThroughDesktopShell(applicationPath, parameters, directory))
        return TStartRoute::DesktopShell;
    return desktop::StartProcess(applicationPath, commandLine) ? TStartRoute::Direct : TStartRoute::Failed;
}

std::string TWin32Desktop::ModulePath() {
    return desktop::ModuleFileName();
}

std::optional<std::string> TWin32Desktop::LoadResource(const std::string& type, const std::string& name) {
    return desktop::LoadModuleResource(type, name);
}

std::unique_ptr<TStream> TWin32Desktop::OpenArchiveResource(TArchiver& archiver, const std::string& name) {
    return archiver.OpenArchiveResource(name, "");
}

std::unique_ptr<TStream> TWin32Desktop::OpenFileRead(const std::string& path) {
    return TFileStream::OpenRead(path);
}

std::string TWin32Desktop::ReadFirstLine(const std::string& path) {
    try {
        std::unique_ptr<TFileStream> file = TFileStream::OpenRead(path);
        return ::ReadFirstLine(*file);
    } catch (const Exception& e) {
        throw EInOutError(e.Message);
    }
}

bool TWin32Desktop::FileExists(const std::string& path) {
    return ::FileExists(path);
}

bool TWin32Desktop::DirectoryExists(const std::string& path) {
    return ::DirectoryExists(path);
}

bool TWin32Desktop::IsReparsePoint(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool TWin32Desktop::WriteWholeFile(const std::string& path, const std::string& bytes) {
    try {
        TFileStream::Create(path)->Write(bytes.data(), static_cast<int32_t>(bytes.size()));
        return true;
    } catch (const Exception&) {
        return false;
    }
}

bool TWin32Desktop::RemoveFile(const std::string& path) {
    // Installed files keep the archive's attributes, the read-only bit among them.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    return DeleteFileA(path.c_str()) != 0;
}

bool TWin32Desktop::RemoveEmptyDirectory(const std::string& path) {
    return RemoveDirectoryA(path.c_str()) != 0;
}

std::optional<int32_t> TWin32Desktop::FindFileTimeStamp(const std::string& path) {
    return desktop::FindFileTimeStamp(path);
}

std::string TWin32Desktop::FormatShortDate(int year, int month, int day) {
    return desktop::FormatShortDate(year, month, day);
}

std::string TWin32Desktop::FormatLongTime(int hour, int minute, int second) {
    return desktop::FormatLongTime(hour, minute, second);
}
