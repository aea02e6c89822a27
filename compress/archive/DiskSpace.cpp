// The space check before a member is written, and the creation of missing target directories.
// The drive query reports whole counts (sectors per cluster, bytes per sector, free clusters);
// their product is formed in single precision, as the component has always done, and results
// that would not fit a signed 32-bit count become 2,147,483,647 ("unlimited").
#include "compress/Archiver.h"

#include "platform/files/DiskSpace.h"
#include "platform/files/FileStream.h"
#include "platform/files/FileSystem.h"
#include "platform/text/AsciiCase.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {
// The largest single-precision value below 2^31.
constexpr float SpaceLimit = 2147483392.0f;

float FreeBytes(const std::optional<TDiskFreeSpace>& space) {
    if (!space) return -1.0f;
    return static_cast<float>(space->SectorsPerCluster) * static_cast<float>(space->BytesPerSector) *
           static_cast<float>(space->FreeClusters);
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}
} // namespace

uint8_t TArchiver::DriveNumberOf(const std::string& path) {
    if (path.size() < 2 || path[1] != ':') return 0;
    const char letter = ToUpperAscii(path[0]);
    return static_cast<uint8_t>(static_cast<unsigned char>(letter) - 64);
}

float TArchiver::DriveFreeSpace(uint8_t drive) {
    std::string root;
    if (drive > 0) {
        if (!PlatformHasDriveLetters) return -1.0f;
        root = {static_cast<char>(64 + drive), ':', '\\'};
    }
    return FreeBytes(QueryDiskFreeSpace(root));
}

float TArchiver::TargetFreeSpace(const std::string& target) {
    if (PlatformHasDriveLetters) return DriveFreeSpace(DriveNumberOf(target));
    return FreeBytes(QueryDiskFreeSpace(target));
}

int32_t TArchiver::SpaceForFile(const std::string& target) {
    if (!CheckSpaceBeforeExpand) return INT32_MAX;
    float free = TargetFreeSpace(target);
    if (!(free < SpaceLimit)) return INT32_MAX;
    auto result = static_cast<int32_t>(free);
    if (FileExists(target)) {
        int64_t size = 0;
        try {
            size = TFileStream::OpenRead(target)->Size();
        } catch (const EFOpenError& e) {
            throw EInOutError(e.Message);
        }
        if (static_cast<double>(size) + static_cast<double>(free) < SpaceLimit)
            result += static_cast<int32_t>(size);
        else
            result = INT32_MAX;
    }
    return result;
}

namespace {
// Length of the part of a path that names a volume rather than a folder, which is never created:
// "C:\" or "C:", "\\server\share", "\\?\C:\", "\\?\UNC\server\share", or a leading separator.
size_t RootLength(const std::string& path) {
    auto nextSeparator = [&](size_t from) {
        size_t at = path.find_first_of("\\/", from);
        return at == std::string::npos ? path.size() : at;
    };
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        size_t at = 2;
        // \\?\ and \\.\ name a device or volume, then a drive or UNC\server\share.
        if (path.size() >= 4 && (path[2] == '?' || path[2] == '.') && IsSeparator(path[3])) {
            at = 4;
            if (path.size() >= at + 2 && path[at + 1] == ':') return std::min(path.size(), at + 3);
            if (path.compare(at, 4, "UNC\\") == 0 || path.compare(at, 4, "UNC/") == 0)
                at += 4;
            else
                return nextSeparator(at);
        }
        return nextSeparator(nextSeparator(at) + 1);
    }
    if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && IsSeparator(path[2]) ? 3 : 2;
    return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

// The length of the path without trailing separators (all of them, so that a doubled one cannot
// make a level twice).
size_t TrimmedLength(const std::string& path, size_t length) {
    while (length > 0 && IsSeparator(path[length - 1])) --length;
    return length;
}
} // namespace

// The walk goes from the innermost level outwards to the first folder that exists (or to the
// volume's root, which is never created, nor is any level shorter than 3 characters), then
// creates the missing levels downwards. Only their lengths are kept, so a member name of
// thousands of levels costs memory in proportion to its length, not to its length times its depth.
void TArchiver::MakeDirectoryPath(const std::string& path) {
    // One buffer for every level: a copy per level would be freed at once, but allocators that
    // hold freed memory back for a while (sanitizers, some heaps) would still pay for all of them.
    std::string directory;
    auto level = [&](size_t length) -> const std::string& { return directory.assign(path, 0, length); };
    const size_t full = TrimmedLength(path, path.size());
    if (full < 3 || DirectoryExists(level(full))) return;
    const size_t root = RootLength(path);
    std::vector<size_t> missing{full};
    for (size_t length = full;;) {
        const size_t separator = path.find_last_of("\\/", length - 1);
        if (separator == std::string::npos) break;
        length = TrimmedLength(path, separator);
        if (length < 3 || length <= root || DirectoryExists(level(length))) break;
        missing.push_back(length);
    }
    // A member that asks for thousands of new levels is crafted: each level is a real folder
    // (Windows takes up to 32,767 characters), made one by one, so it is refused before the first.
    if (missing.size() > MaxNewDirectoryLevels)
        throw EInOutError("Cannot create directory \"" + level(missing.back()) + "\". A member asks for " +
                          std::to_string(missing.size()) + " new folders below it, more than the " +
                          std::to_string(MaxNewDirectoryLevels) + " any archive needs.");
    for (auto length = missing.rbegin(); length != missing.rend(); ++length) {
        if (!CreateDirectoryAt(level(*length)))
            throw EInOutError("Cannot create directory \"" + directory + "\". " + SystemErrorText());
    }
}
