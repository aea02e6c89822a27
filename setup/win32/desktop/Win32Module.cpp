#include "setup/win32/desktop/Win32Module.h"

#include "compress/Archiver.h"
#include "platform/files/FileSystem.h"
#include "platform/win32/WideText.h"
#include "setup/win32/OwnProcess.h"

#include <windows.h>

std::string TWin32Module::ModulePath() {
    return OwnExecutablePath();
}

bool TWin32Module::Elevated() {
    return ProcessIsElevated();
}

std::optional<std::string> TWin32Module::LoadResource(const std::string& type, const std::string& name) {
    HRSRC found = FindResourceW(nullptr, Utf8ToWide(name).c_str(), Utf8ToWide(type).c_str());
    HGLOBAL loaded = found ? ::LoadResource(nullptr, found) : nullptr;
    const auto* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!bytes) return std::nullopt;
    return std::string(bytes, SizeofResource(nullptr, found));
}

std::unique_ptr<TStream> TWin32Module::OpenArchiveResource(TArchiver& archiver, const std::string& name) {
    return archiver.OpenArchiveResource(name, "");
}
