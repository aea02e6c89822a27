// POSIX programs carry no Win32 resources: every lookup reports the resource as missing.
#include "platform/Resource.h"

#include "platform/Exception.h"

std::unique_ptr<TStream> OpenResourceStream(const std::string& name, const std::string& type,
                                            const std::string& library) {
    std::string where = library.empty() ? "this program" : library;
    throw EResNotFound("Resource " + name + " of type " + type + " not found in " + where +
                       ": programs on this platform carry no resources");
}
