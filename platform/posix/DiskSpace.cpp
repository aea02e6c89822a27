// POSIX free space: statvfs of the nearest existing directory of the path, since the target
// file and its directories may not exist yet.
#include "platform/files/DiskSpace.h"
#include "platform/files/FileSystem.h"

#include <string>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace {
bool IsDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
} // namespace

// The path is shortened in place one component at a time, so that a path of thousands of levels
// (a hostile member name) costs time in proportion to its depth, not to its depth times its length.
std::optional<TDiskFreeSpace> QueryDiskFreeSpace(const std::string& root) {
    std::string path = root.empty() ? std::string(".") : NativePath(root);
    while (!IsDirectory(path)) {
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        const size_t last = path.find_last_of('/');
        if (last == std::string::npos) {
            path.assign(1, '.');
            break;
        }
        if (last == 0) {
            path.assign(1, '/');
            break;
        }
        path.resize(last);
    }
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) return std::nullopt;
    TDiskFreeSpace space;
    space.SectorsPerCluster = 1;
    space.BytesPerSector = info.f_frsize;
    space.FreeClusters = info.f_bavail;
    space.TotalClusters = info.f_blocks;
    return space;
}
