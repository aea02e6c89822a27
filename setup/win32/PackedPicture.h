// The Welcome page's picture travels packed with zstd as an RCDATA resource: a 256-colour bitmap
// shrinks to a sixth of its size, and the setup carries the decoder for its archives anyway.
#pragma once

#include <windows.h>

// The bitmap resource NAME expanded and stretched to width x height, compatible with the screen
// (as LoadImage makes a bitmap resource); null if it is missing or is not a 256-colour bitmap.
HBITMAP LoadPackedPicture(HINSTANCE instance, const wchar_t* name, int width, int height);
