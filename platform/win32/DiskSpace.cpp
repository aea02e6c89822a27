// Win32 free space through GetDiskFreeSpaceW, as the archive component's space check asks it.
#include "platform/files/DiskSpace.h"

#include "platform/win32/WideText.h"

#include <windows.h>

std::optional<TDiskFreeSpace> QueryDiskFreeSpace(const std::string& root) {
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceW(root.empty() ? nullptr : WidePath(root).c_str(), &sectorsPerCluster,
                           &bytesPerSector, &freeClusters, &totalClusters))
        return std::nullopt;
    return TDiskFreeSpace{sectorsPerCluster, bytesPerSector, freeClusters, totalClusters};
}
