// The two phases of the uninstaller's self-removal. Handles pass to the copy by inheritance; their
// values travel on its command line as "/_HANDOFF=PROCESS,PIPE".
#include "setup/win32/SelfRemoval.h"

#include "platform/win32/Desktop.h"
#include "setup/PathText.h"
#include "setup/unattended/CommandLine.h"
#include "setup/uninstall/UninstallRecord.h"

#include <cstdlib>

namespace {

// Closes a handle on every way out.
class THandle {
public:
    explicit THandle(HANDLE handle = nullptr) : Handle(handle) {}
    ~THandle() {
        if (Handle && Handle != INVALID_HANDLE_VALUE) CloseHandle(Handle);
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;

    HANDLE Handle;
};

std::string HandleText(HANDLE handle) {
    return std::to_string(reinterpret_cast<uintptr_t>(handle));
}

HANDLE HandleFromText(const std::string& text) {
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(text.c_str(), nullptr, 10)));
}

} // namespace

int RunFromTemporaryCopy(const std::string& arguments) {
    const std::string self = desktop::ModuleFileName();
    char tempFolder[MAX_PATH + 1] = {};
    if (!GetTempPathA(sizeof tempFolder, tempFolder)) return ExitFailure;
    const std::string copy =
        std::string(tempFolder) + "ParlavoxUninstall-" + std::to_string(GetCurrentProcessId()) + ".exe";
    if (!CopyFileA(self.c_str(), copy.c_str(), FALSE)) return ExitFailure;

    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) return ExitFailure;
    THandle reader(readEnd), writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE selfHandle = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &selfHandle, SYNCHRONIZE,
                    TRUE, 0);
    THandle process(selfHandle);

    std::string commandLine = "\"" + copy + "\" " + arguments + " /_HANDOFF=" + HandleText(selfHandle) + "," +
                              HandleText(writeEnd) + " _?=" + ExtractFileDir(self);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    // The copy runs in the temporary folder, so that it holds no folder it is to remove.
    if (!CreateProcessA(copy.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, tempFolder,
                        &startup, &started)) {
        DeleteFileA(copy.c_str());
        return ExitFailure;
    }
    THandle child(started.hProcess), thread(started.hThread);
    // Only the copy may hold the write end now, so that its end breaks the pipe.
    CloseHandle(writer.Handle);
    writer.Handle = nullptr;

    DWORD code = 0, read = 0;
    if (ReadFile(reader.Handle, &code, sizeof code, &read, nullptr) && read == sizeof code)
        return static_cast<int>(code);
    // The copy ended without a word: its own exit code is the answer.
    WaitForSingleObject(child.Handle, INFINITE);
    if (!GetExitCodeProcess(child.Handle, &code)) return ExitFailure;
    return static_cast<int>(code);
}

void FinishSelfRemoval(const std::string& handoff, const std::string& originDirectory, bool removed,
                       const std::vector<std::string>& foldersAfterSelf, int exitCode) {
    const size_t comma = handoff.find(',');
    THandle original(HandleFromText(handoff.substr(0, comma)));
    if (comma != std::string::npos) {
        THandle pipe(HandleFromText(handoff.substr(comma + 1)));
        const DWORD code = static_cast<DWORD>(exitCode);
        DWORD written = 0;
        WriteFile(pipe.Handle, &code, sizeof code, &written, nullptr);
    }
    if (removed) {
        WaitForSingleObject(original.Handle, 30000);
        // The original's file can stay locked for a moment after its process has ended.
        const std::string uninstaller = originDirectory + "\\" + UninstallerName;
        for (int attempt = 0;
             attempt < 50 && GetFileAttributesA(uninstaller.c_str()) != INVALID_FILE_ATTRIBUTES; ++attempt) {
            if (DeleteFileA(uninstaller.c_str())) break;
            Sleep(100);
        }
        for (const std::string& folder : foldersAfterSelf) RemoveDirectoryA(folder.c_str());
    }
    MoveFileExA(desktop::ModuleFileName().c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
