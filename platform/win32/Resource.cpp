// Win32 resources: FindResourceW/LoadResource/LockResource/SizeofResource over the executable or
// a library that LoadLibraryExW maps as a data file and image resource, so that none of its code
// (its DllMain above all) ever runs in the process, which may be elevated. The library handle is
// owned by the returned stream (through its KeepAlive), so the resource bytes stay mapped exactly
// as long as they are read.
#include "platform/Resource.h"

#include "platform/Exception.h"
#include "platform/win32/WideText.h"

#include <windows.h>

std::unique_ptr<TStream> OpenResourceStream(const std::string& name, const std::string& type,
                                            const std::string& library) {
    TKeepAlive module(nullptr, nullptr);
    if (!library.empty()) {
        HMODULE loaded = LoadLibraryExW(Utf8ToWide(library).c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (!loaded) throw Exception("Could not load " + library + " DLL");
        module = TKeepAlive(loaded, [](void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); });
    }
    auto handle = static_cast<HMODULE>(module.get());
    HRSRC info = FindResourceW(handle, Utf8ToWide(name).c_str(), Utf8ToWide(type).c_str());
    HGLOBAL data = info ? LoadResource(handle, info) : nullptr;
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes) throw EResNotFound("Resource " + name + " not found");
    return std::make_unique<TReadOnlyMemoryStream>(static_cast<const uint8_t*>(bytes),
                                                   SizeofResource(handle, info), std::move(module));
}
