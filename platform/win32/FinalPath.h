// Where an open handle really leads. A path checked by name can be redirected by a link at any of
// its levels; the final path of the handle opened from it cannot, so it is what the elevated
// programs compare before they truncate, write or delete.
#pragma once

#include <windows.h>

#include <string>

// The handle's final path in its extended form (\\?\C:\..., \\?\UNC\...); empty when the system
// cannot tell.
std::wstring FinalPath(HANDLE handle);
// True when the handle's final path is extendedPath (as WidePath gives it), compared without
// regard to case as NTFS compares names: no link at any level led elsewhere.
bool FinalPathIs(HANDLE handle, const std::wstring& extendedPath);
// True when the handle is of a reparse point (a junction, a symbolic link, a mount point).
bool IsReparseHandle(HANDLE handle);
