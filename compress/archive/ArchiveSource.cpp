// Archive sources: an archive stored as a resource of type "ARCHIVE" in the program's executable
// or in a library. The platform layer ties a loaded library's lifetime to the returned stream.
#include "compress/Archiver.h"

#include "platform/Resource.h"

std::unique_ptr<TStream> TArchiver::OpenArchiveResource(const std::string& resourceName,
                                                        const std::string& libraryName) {
    return OpenResourceStream(resourceName, "ARCHIVE", libraryName);
}
