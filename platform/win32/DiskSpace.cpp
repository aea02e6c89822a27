// Win32 free space through GetDiskFreeSpaceA, as the archive component's space check asks it.
#include "platform/DiskSpace.h"

#include <windows.h>

std::optional<TDiskFreeSpace> QueryDiskFreeSpace(const std::string& root) {
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(root.empty() ? nullptr : root.c_str(), &sectorsPerCluster, &bytesPerSector,
                           &freeClusters, &totalClusters))
        return std::nullopt;
    return TDiskFreeSpace{sectorsPerCluster, bytesPerSector, freeClusters, totalClusters};
}
