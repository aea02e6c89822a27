// Win32 is called in its wide forms: UTF-8 from inside the program becomes UTF-16 at the call,
// and what Windows answers becomes UTF-8 again. Paths get the \\?\ form, so that a folder deeper
// than MAX_PATH characters works through every file call that takes it.
#pragma once

#include <string>
#include <string_view>

// UTF-8 as UTF-16; an ill-formed sequence becomes U+FFFD.
std::wstring Utf8ToWide(std::string_view text);
// UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(std::wstring_view text);

// path (UTF-8) for the wide file calls: a full path of a drive (C:\...) or a share (\\server\...)
// in its extended-length form (\\?\C:\..., \\?\UNC\server\...), with "/" turned into "\" and
// "." and ".." resolved as Windows would, since the extended form takes each part literally. A
// relative path, or one that is already extended, a device path or empty, comes back as it is; a
// path that names a DOS device (C:\dir\NUL) comes back as the device's path (\\.\NUL). A path
// longer than the system takes (32,767 characters) comes back empty, which every call refuses.
std::wstring WidePath(std::string_view path);
