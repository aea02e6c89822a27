// POSIX file streams over plain file descriptors.
#include "platform/files/FileStream.h"

#include "platform/Exception.h"
#include "platform/files/FileSystem.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string SystemError() {
    return std::strerror(errno);
}
int Fd(intptr_t handle) {
    return static_cast<int>(handle);
}
} // namespace

std::unique_ptr<TFileStream> TFileStream::OpenRead(const std::string& path) {
    int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EFOpenError("Cannot open file \"" + path + "\". " + SystemError());
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        throw EFOpenError("Cannot open file \"" + path + "\". Is a directory");
    }
    return std::unique_ptr<TFileStream>(new TFileStream(fd, path, true));
}

std::unique_ptr<TFileStream> TFileStream::OpenReadLocked(const std::string& path) {
    return OpenRead(path);
}

namespace {
// Exclusive writing: no other process of ours may write the file while we do.
void LockForWriting(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ::fcntl(fd, F_SETLK, &lock);
}
} // namespace

std::unique_ptr<TFileStream> TFileStream::Create(const std::string& path) {
    int fd = ::open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) throw EFCreateError("Cannot create file \"" + path + "\". " + SystemError());
    LockForWriting(fd);
    return std::unique_ptr<TFileStream>(new TFileStream(fd, path, true));
}

namespace {
// The path the descriptor really leads to, as the kernel knows it; empty when it cannot tell.
std::string FinalPath(int fd) {
    char target[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof target) return {};
    return std::string(target, static_cast<size_t>(length));
}
} // namespace

std::unique_ptr<TFileStream> TFileStream::CreateNoLink(const std::string& path) {
    const std::string native = NativePath(path);
    bool made = true;
    int fd = ::open(native.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) {
        made = false;
        fd = ::open(native.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    }
    if (fd < 0 && errno == ELOOP)
        throw EFCreateError("Cannot create file \"" + path + "\". It is a link to another file.");
    if (fd < 0) throw EFCreateError("Cannot create file \"" + path + "\". " + SystemError());
    std::unique_ptr<TFileStream> file(new TFileStream(fd, path, true));
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        throw EFCreateError("Cannot create file \"" + path + "\". " + SystemError());
    if (!S_ISREG(status.st_mode) || status.st_nlink > 1)
        throw EFCreateError("Cannot create file \"" + path + "\". It is a link to another file.");
    // A folder of the path that is a link leads elsewhere: what was made there goes again.
    const std::string final = FinalPath(fd);
    if (final != std::filesystem::absolute(native).lexically_normal().string()) {
        if (made && !final.empty()) ::unlink(final.c_str());
        throw EFCreateError("Cannot create file \"" + path +
                            "\". A folder of its path is a link to another place.");
    }
    if (::ftruncate(fd, 0) != 0) throw EFCreateError("Cannot create file \"" + path + "\". " + SystemError());
    LockForWriting(fd);
    return file;
}

std::unique_ptr<TFileStream> TFileStream::CreateNew(const std::string& path) {
    int fd = ::open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) return nullptr;
    if (fd < 0) throw EFCreateError("Cannot create file \"" + path + "\". " + SystemError());
    LockForWriting(fd);
    return std::unique_ptr<TFileStream>(new TFileStream(fd, path, true));
}

std::unique_ptr<TFileStream> TFileStream::StandardInput() {
    return std::unique_ptr<TFileStream>(new TFileStream(STDIN_FILENO, "<stdin>", false));
}

std::unique_ptr<TFileStream> TFileStream::StandardOutput() {
    return std::unique_ptr<TFileStream>(new TFileStream(STDOUT_FILENO, "<stdout>", false));
}

TFileStream::~TFileStream() {
    Close();
}

void TFileStream::Close() {
    if (Owned && NativeHandle >= 0) ::close(Fd(NativeHandle));
    NativeHandle = -1;
}

int64_t TFileStream::Size() const {
    struct stat info {};
    if (::fstat(Fd(NativeHandle), &info) != 0 || !S_ISREG(info.st_mode)) return Position();
    return info.st_size;
}

int64_t TFileStream::Position() const {
    off_t pos = ::lseek(Fd(NativeHandle), 0, SEEK_CUR);
    return pos < 0 ? 0 : pos;
}

int32_t TFileStream::Read(void* buffer, int32_t count) {
    int32_t total = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (total < count) {
        ssize_t n = ::read(Fd(NativeHandle), out + total, static_cast<size_t>(count - total));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EStreamError("Stream read error: " + FilePath + ": " + SystemError());
        if (n == 0) break;
        total += static_cast<int32_t>(n);
    }
    return total;
}

void TFileStream::Write(const void* buffer, int32_t count) {
    const auto* in = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
        ssize_t n = ::write(Fd(NativeHandle), in, static_cast<size_t>(count));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw EStreamError("Stream write error: " + FilePath + ": " + SystemError());
        in += n;
        count -= static_cast<int32_t>(n);
    }
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t target = ResolveSeek(origin == TSeekOrigin::Current ? Position() : 0,
                                 origin == TSeekOrigin::End ? Size() : 0, offset, origin);
    off_t pos = ::lseek(Fd(NativeHandle), static_cast<off_t>(target), SEEK_SET);
    if (pos < 0) throw EStreamError("Stream seek error: " + FilePath + ": " + SystemError());
    return pos;
}
