// POSIX file-system queries: backslashes become '/', and the read-only attribute is the absence
// of the owner's write permission (the other Win32 attribute bits have no counterpart).
#include "platform/files/FileSystem.h"

#include "platform/files/FileStream.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

std::string NativePath(const std::string& path) {
    std::string native = path;
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

// The same conversion into one buffer per thread, for the queries that a directory walk makes once
// per level: a path of thousands of levels is then not copied anew for each of them.
const char* NativePathInBuffer(const std::string& path) {
    thread_local std::string native;
    native.assign(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native.c_str();
}

int32_t GetAttributes(const std::string& path) {
    struct stat info {};
    if (::stat(NativePathInBuffer(path), &info) != 0) return -1;
    int32_t attributes = S_ISDIR(info.st_mode) ? faDirectory : faArchive;
    if ((info.st_mode & S_IWUSR) == 0) attributes |= faReadOnly;
    return attributes;
}

namespace {
// Only the read-only attribute has a POSIX counterpart: the write permissions.
mode_t ModeWithAttributes(mode_t mode, int32_t attributes) {
    mode &= 07777;
    if (attributes & faReadOnly) return mode & ~mode_t(S_IWUSR | S_IWGRP | S_IWOTH);
    return mode | S_IWUSR;
}
} // namespace

bool SetAttributes(const std::string& path, int32_t attributes) {
    std::string native = NativePath(path);
    struct stat info {};
    if (::stat(native.c_str(), &info) != 0) return false;
    return ::chmod(native.c_str(), ModeWithAttributes(info.st_mode, attributes)) == 0;
}

bool SetAttributes(TFileStream& file, int32_t attributes) {
    const int fd = static_cast<int>(file.Handle());
    struct stat info {};
    if (::fstat(fd, &info) != 0) return false;
    return ::fchmod(fd, ModeWithAttributes(info.st_mode, attributes)) == 0;
}

bool FileExists(const std::string& path) {
    int32_t attributes = GetAttributes(path);
    return attributes != -1 && (attributes & faDirectory) == 0;
}

bool DirectoryExists(const std::string& path) {
    int32_t attributes = GetAttributes(path);
    return attributes != -1 && (attributes & faDirectory) != 0;
}

bool CreateDirectoryAt(const std::string& path) {
    return ::mkdir(NativePathInBuffer(path), 0777) == 0;
}

bool DeleteFileAt(const std::string& path) {
    return ::unlink(NativePath(path).c_str()) == 0;
}

bool IsDevice(const std::string& path) {
    struct stat info {};
    if (::stat(NativePath(path).c_str(), &info) != 0) return false;
    return S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) || S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode);
}

// rename() replaces a read-only file as well: only the directory's permissions matter here.
bool MoveFileReplacing(const std::string& source, const std::string& target) {
    return ::rename(NativePath(source).c_str(), NativePath(target).c_str()) == 0;
}

bool MoveOpenFileReplacing(TFileStream& file, const std::string& target) {
    return MoveFileReplacing(file.Path(), target);
}

std::string SystemErrorText() {
    return std::strerror(errno);
}

bool LastErrorIsHeld() {
    return errno == EBUSY || errno == ETXTBSY || errno == EACCES || errno == EPERM;
}

std::string OwnExecutablePath() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}
