// The space check before a member is written, and the creation of missing target directories.
// Free space is handled as single-precision value, as the drive query reports it; results that
// would not fit a signed 32-bit count become 2,147,483,647 ("unlimited").
#include "compress/Archiver.h"

#include "platform/DiskSpace.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"

#include <climits>

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
    char letter = path[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
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

// Directory separators are the backslash and, as the file system also accepts it, '/'. Trailing
// separators are dropped (all of them, so that a doubled one cannot create a level twice).
// The levels are walked from the outermost down: existing ones are passed, the first missing one
// and every level below it are created, and levels shorter than 3 characters (a drive or a root)
// are never created. Only one level's path exists at a time, so a member name of thousands of
// levels costs memory in proportion to its length, not to its length times its depth.
void TArchiver::MakeDirectoryPath(const std::string& path) {
    std::string directory = path;
    while (!directory.empty() && IsSeparator(directory.back())) directory.pop_back();
    if (directory.size() < 3 || DirectoryExists(directory)) return;
    bool creating = false;
    size_t lastLength = 0;
    for (size_t end = directory.find_first_of("\\/", 1);; end = directory.find_first_of("\\/", end + 1)) {
        size_t length = end == std::string::npos ? directory.size() : end;
        while (length > 0 && IsSeparator(directory[length - 1])) --length;
        if (length >= 3 && length != lastLength) {
            const std::string level = directory.substr(0, length);
            if (creating || !DirectoryExists(level)) {
                creating = true;
                if (!CreateDirectoryAt(level))
                    throw EInOutError("Cannot create directory \"" + level + "\". " + SystemErrorText());
            }
            lastLength = length;
        }
        if (end == std::string::npos) break;
    }
}
