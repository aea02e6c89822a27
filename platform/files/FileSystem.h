// File-system queries and changes that the archive component needs beyond file streams:
// existence tests, attributes, directory creation and deletion, and the one-step replacement. Paths are
// UTF-8 and may use backslashes as separators; the POSIX implementation turns them into '/' before it
// touches the file system, the Win32 implementation hands them to the wide API in their extended
// form (\\?\C:\...), so that no character is lost and folders longer than MAX_PATH work.
#pragma once

#include <cstdint>
#include <string>

class TFileStream;

// Attribute bits as the Win32 attribute calls take and return them.
constexpr int32_t faReadOnly = 0x01;
constexpr int32_t faHidden = 0x02;
constexpr int32_t faSysFile = 0x04;
constexpr int32_t faDirectory = 0x10;
constexpr int32_t faArchive = 0x20;

// True on Win32, where a path may begin with a drive letter that names a volume.
#ifdef _WIN32
constexpr bool PlatformHasDriveLetters = true;
#else
constexpr bool PlatformHasDriveLetters = false;
#endif

// The path as the operating system expects it ('\' becomes '/' on POSIX).
std::string NativePath(const std::string& path);

// The attribute bits of a file or directory, or -1 when it does not exist or cannot be queried.
// POSIX: faDirectory for directories, faArchive for every other entry, faReadOnly when the owner
// has no write permission.
int32_t GetAttributes(const std::string& path);
// Sets the attribute bits; false on failure. POSIX: only faReadOnly has an effect (it removes
// or restores write permission).
bool SetAttributes(const std::string& path, int32_t attributes);
// The same for a file that is open: through its handle, without a look-up of its name.
bool SetAttributes(TFileStream& file, int32_t attributes);

// An existing entry that is not a directory.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates one directory (its parent must exist); false on failure, with SystemErrorText() set.
bool CreateDirectoryAt(const std::string& path);
bool DeleteFileAt(const std::string& path);
// An existing entry that is neither a file nor a directory but a device (or on POSIX a pipe or
// socket): it is written in place, since replacing it would replace the device itself.
bool IsDevice(const std::string& path);
// Whether a file name (one component of a path) is one of the DOS device names, which Windows
// opens as a device in any folder: CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, in any
// case, with or without an extension or trailing blanks.
bool IsDosDeviceName(const std::string& component);
// Moves the file source over target in one step: afterwards target is either its old self or the
// whole of source, never a mix, even if the process dies meanwhile. Both must be on one volume.
// A read-only target is replaced too (when the move is refused, its attribute is cleared for a
// second try and restored when that fails too). False on failure, with SystemErrorText() set; source and
// target are then unchanged.
bool MoveFileReplacing(const std::string& source, const std::string& target);
// The same for a file created by TFileStream::CreateNew in target's folder, moved while it is
// still open, through its handle: on Windows that spares opening it again by name. Afterwards the
// stream still owns the file (now under target's name) or, on failure, the file under its own.
bool MoveOpenFileReplacing(TFileStream& file, const std::string& target);

// The full path of the running program's executable; empty when it cannot be found out.
std::string OwnExecutablePath();

// The operating system's text for the last failed call of this thread.
std::string SystemErrorText();
// Whether the last failed call of this thread was refused because another program holds the file
// (a sharing or lock violation, access denied; on POSIX busy or not permitted): a refusal that may
// end by itself, unlike a missing folder or a full disk.
bool LastErrorIsHeld();
