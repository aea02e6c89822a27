// The wizard's time stamp query: the desktop searches for the file, this turns "not found" into
// the error that ends the expansion.
#include "setup/install/KoStamp.h"

#include "setup/FormPorts.h"

int32_t GetFileTimeStamp(TFiles& files, const std::string& path) {
    const std::optional<int32_t> stamp = files.FindFileTimeStamp(path);
    if (!stamp) throw ETimeStampError("Could not get the time stamp of " + path);
    return *stamp;
}
