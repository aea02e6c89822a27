// Read-only streams over resources of the program's own executable or of a library.
#pragma once

#include "platform/Stream.h"

#include <memory>
#include <string>

// A new read-only stream over the resource of the given name and type. With an empty library
// name the executable is searched; otherwise the library is loaded and stays loaded exactly as
// long as the returned stream exists.
// Raises Exception "Could not load " + library + " DLL" when the library cannot be loaded, and
// EResNotFound when the module has no such resource (the library is released first). On POSIX
// programs carry no resources, so every call raises EResNotFound.
std::unique_ptr<TStream> OpenResourceStream(const std::string& name, const std::string& type,
                                            const std::string& library);
