// POSIX free space: statvfs of the nearest existing directory of the path, since the target
// file and its directories may not exist yet.
#include "platform/DiskSpace.h"
#include "platform/FileSystem.h"

#include <filesystem>
#include <sys/statvfs.h>

std::optional<TDiskFreeSpace> QueryDiskFreeSpace(const std::string& root) {
    std::filesystem::path path =
        root.empty() ? std::filesystem::path(".") : std::filesystem::path(NativePath(root));
    std::error_code error;
    while (!std::filesystem::is_directory(path, error)) {
        std::filesystem::path parent = path.parent_path();
        if (parent.empty() || parent == path) {
            path = path.is_absolute() ? path.root_path() : std::filesystem::path(".");
            break;
        }
        path = parent;
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
