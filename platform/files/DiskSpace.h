// Free space of a volume, in the units that GetDiskFreeSpace reports.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct TDiskFreeSpace {
    uint64_t SectorsPerCluster = 0;
    uint64_t BytesPerSector = 0;
    uint64_t FreeClusters = 0;
    uint64_t TotalClusters = 0;
};

// Win32: root is "X:\" for drive X, or empty for the current drive.
// POSIX: root is any path; the file system of its nearest existing directory is asked (empty:
// the current directory). Clusters are the file system's fragments, one sector each.
// nullopt when the volume cannot be queried.
std::optional<TDiskFreeSpace> QueryDiskFreeSpace(const std::string& root);
