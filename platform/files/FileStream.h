// A stream over an operating-system file: read-only for archives and sources, created fresh and
// exclusive for expanded files and tool output. POSIX and Win32 implementations share this header.
#pragma once

#include "platform/Stream.h"

#include <cstdint>
#include <memory>
#include <string>

class TFileStream : public TStream {
public:
    // Opens an existing file read-only; raises EFOpenError.
    static std::unique_ptr<TFileStream> OpenRead(const std::string& path);
    // As OpenRead, but nobody may write, rename or delete the file while the stream is open (on
    // Windows; POSIX has no such sharing modes), so that what was checked through it is what is
    // read afterwards: for a file that lies where others may write.
    static std::unique_ptr<TFileStream> OpenReadLocked(const std::string& path);
    // Creates (or truncates) a file for exclusive writing; raises EFCreateError.
    static std::unique_ptr<TFileStream> Create(const std::string& path);
    // As Create, but a path that names a link (a symbolic link or junction, or a file with more
    // than one hard link) is refused with EFCreateError instead of being followed: for a file that
    // an elevated program writes at a place a user may have prepared (the log).
    static std::unique_ptr<TFileStream> CreateNoLink(const std::string& path);
    // Creates a file that must not exist yet, for exclusive writing: nullptr when an entry of
    // that name exists (so two callers never share one file); raises EFCreateError otherwise.
    // The file may be moved while open (MoveOpenFileReplacing).
    static std::unique_ptr<TFileStream> CreateNew(const std::string& path);
    // The process's standard input and output, not owned (never closed by the stream).
    static std::unique_ptr<TFileStream> StandardInput();
    static std::unique_ptr<TFileStream> StandardOutput();
    // A stream over a file the caller has open and keeps (the stream never closes it).
    static std::unique_ptr<TFileStream> Borrow(intptr_t handle, std::string path) {
        return std::unique_ptr<TFileStream>(new TFileStream(handle, std::move(path), false));
    }

    ~TFileStream() override;

    int64_t Size() const override;
    int64_t Position() const override;
    int32_t Read(void* buffer, int32_t count) override;
    void Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

    // The native handle (a file descriptor on POSIX, a HANDLE on Win32).
    intptr_t Handle() const { return NativeHandle; }
    const std::string& Path() const { return FilePath; }
    // Closes the file now; later operations fail. Safe to call twice.
    void Close();

private:
    TFileStream(intptr_t handle, std::string path, bool owned)
        : NativeHandle(handle), FilePath(std::move(path)), Owned(owned) {}
    // Win32: an owned stream over a handle just opened, which is at the file's start.
    static std::unique_ptr<TFileStream> Opened(void* handle, const std::string& path);

    intptr_t NativeHandle;
    std::string FilePath;
    bool Owned;
    // Win32: whether the handle is a disk file's, once asked; the position while known (-1: not).
    mutable int8_t DiskFile = -1;
    mutable int64_t KnownPosition = -1;
};

// Reads a whole stream from its current position into memory.
std::vector<uint8_t> ReadAll(TStream& stream);
