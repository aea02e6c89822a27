// The two phases of the uninstaller's self-removal. Handles pass to the copy by inheritance; their
// values travel on its command line as "/_HANDOFF=PROCESS,PIPE". The copy lives alone in a private
// folder made for it (CreatePrivateTemporaryFolder), never under a predictable name in the shared
// temporary folder, where a planted DLL or a file swapped in before its start would run with the
// uninstaller's rights. The original may lie below a folder longer than MAX_PATH: its paths are
// taken in their extended form.
#include "setup/win32/SelfRemoval.h"

#include "platform/files/FileSystem.h"
#include "platform/win32/FinalPath.h"
#include "platform/win32/Owned.h"
#include "platform/win32/WideText.h"
#include "setup/PathText.h"
#include "setup/UninstallRecord.h"
#include "setup/unattended/CommandLine.h"
#include "setup/win32/OwnProcess.h"

#include <cstdint>

namespace {

// The copy's file name in its private folder, and the folder's name before its random part.
const wchar_t* const CopyName = L"uninstall.exe";
const wchar_t* const CopyFolderPrefix = L"ParlavoxUninstall-";

std::string HandleText(HANDLE handle) {
    return std::to_string(reinterpret_cast<uintptr_t>(handle));
}

// The handle that HandleText wrote: digits and nothing else, or none at all (a number read from a
// malformed value could name any object this process holds, its log or a record's file). Read
// here, as std::strtoull brought half a kilobyte of the C library into the uninstaller.
HANDLE HandleFromText(const std::string& text) {
    if (text.empty()) return nullptr;
    uintptr_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return nullptr;
        const auto digit = static_cast<uintptr_t>(c - '0');
        if (value > (UINTPTR_MAX - digit) / 10) return nullptr;
        value = value * 10 + digit;
    }
    return reinterpret_cast<HANDLE>(value);
}

// Removes the copy and its folder when the copy cannot be run after all.
void RemoveCopy(const std::wstring& copy, const std::wstring& folder) {
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
}

} // namespace

int RunFromTemporaryCopy(const std::string& arguments) {
    const std::string self = OwnExecutablePath();
    const bool elevated = ProcessIsElevated();
    // The copies that earlier elevated runs could not remove at their end (FinishSelfRemoval).
    if (elevated) RemoveEarlierPrivateFolders(CopyFolderPrefix, WideToUtf8(CopyName));
    const std::wstring folder = CreatePrivateTemporaryFolder(CopyFolderPrefix, elevated);
    if (self.empty() || folder.empty()) return ExitFailure;
    // Held open without sharing deletion until the copy has started, so that nobody can rename
    // the folder and put another in its place: the temporary folder is the user's own.
    const THandle held(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!held || IsReparseHandle(held.get()) || !FinalPathIs(held.get(), WidePath(WideToUtf8(folder)))) {
        RemoveDirectoryW(folder.c_str());
        return ExitFailure;
    }
    const std::wstring copy = folder + L"\\" + CopyName;
    // A new name in a new folder: an existing file there means someone else is at work.
    if (!CopyFileW(WidePath(self).c_str(), copy.c_str(), TRUE)) {
        RemoveDirectoryW(folder.c_str());
        return ExitFailure;
    }
    // Held open without sharing write or delete from the check until the copy runs, so that the
    // program started is the one checked.
    THandle pinned(CreateFileW(copy.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!pinned || IsReparsePoint(copy)) {
        pinned.reset();
        RemoveCopy(copy, folder);
        return ExitFailure;
    }

    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return ExitFailure;
    const THandle reader(readEnd);
    THandle writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE selfHandle = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &selfHandle, SYNCHRONIZE,
                    TRUE, 0);
    const THandle process(selfHandle);

    const std::string tail = " " + arguments + " /_HANDOFF=" + HandleText(selfHandle) + "," +
                             HandleText(writeEnd) + " _?=" + ExtractFileDir(self);
    std::wstring commandLine = L"\"" + copy + L"\"" + Utf8ToWide(tail);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // The copy runs in its own folder, which holds nothing but the copy and no folder it is to
    // remove; it limits its own DLL search to System32 first thing.
    if (!CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(),
                        &startup, &started)) {
        pinned.reset();
        RemoveCopy(copy, folder);
        return ExitFailure;
    }
    const THandle child(started.hProcess), thread(started.hThread);
    // Only the copy may hold the write end now, so that its end breaks the pipe.
    writer.reset();

    DWORD code = 0, read = 0;
    if (ReadFile(reader.get(), &code, sizeof code, &read, nullptr) && read == sizeof code)
        return static_cast<int>(code);
    // The copy ended without a word: its own exit code is the answer.
    WaitForSingleObject(child.get(), INFINITE);
    if (!GetExitCodeProcess(child.get(), &code)) return ExitFailure;
    return static_cast<int>(code);
}

void FinishSelfRemoval(const std::string& handoff, const std::string& originDirectory, bool removed,
                       const std::vector<std::string>& foldersAfterSelf, int exitCode) {
    const size_t comma = handoff.find(',');
    const THandle original(HandleFromText(handoff.substr(0, comma)));
    if (comma != std::string::npos) {
        const THandle pipe(HandleFromText(handoff.substr(comma + 1)));
        const DWORD code = static_cast<DWORD>(exitCode);
        DWORD written = 0;
        if (pipe) WriteFile(pipe.get(), &code, sizeof code, &written, nullptr);
    }
    if (removed) {
        if (original) WaitForSingleObject(original.get(), 30000);
        // The original's file can stay locked for a moment after its process has ended.
        const std::wstring uninstaller = WidePath(originDirectory + "\\" + UninstallerName);
        for (int attempt = 0;
             attempt < 50 && GetFileAttributesW(uninstaller.c_str()) != INVALID_FILE_ATTRIBUTES; ++attempt) {
            if (DeleteFileW(uninstaller.c_str())) break;
            Sleep(100);
        }
        for (const std::string& folder : foldersAfterSelf) RemoveDirectoryW(WidePath(folder).c_str());
    }
    // The copy and then its private folder go at the next restart, in this order; but not for an
    // elevated copy, whose folder lies in the user's own temporary folder: the user could put
    // another file or a link at that path before the restart, which the system then deletes
    // with its own rights. The next elevated run of the uninstaller removes them instead.
    if (ProcessIsElevated()) return;
    const std::wstring self = Utf8ToWide(OwnExecutablePath());
    MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    const size_t slash = self.find_last_of(L'\\');
    if (slash != std::wstring::npos)
        MoveFileExW(self.substr(0, slash).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
