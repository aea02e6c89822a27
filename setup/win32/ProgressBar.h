// The wizard's progress bar: a window of its own class that draws a position from 0 to 100 the
// way the common progress control does (themed when visual styles are on, otherwise blocks of
// the highlight colour in a static edge), but paints a new position at once with one blit of
// an off-screen picture. The common control repaints through a full paint cycle, twice for the
// trick that defeats its animation, which under Wine cost milliseconds per step: more than the
// whole expansion of an installation.
#pragma once

#include <windows.h>

// The class name to create the bar with; RegisterProgressBarClass must have run.
extern const wchar_t* const ProgressBarClassName;
bool RegisterProgressBarClass(HINSTANCE instance);

// Moves the bar to position (clamped to 0..100) and, when it changed and the bar is visible,
// paints it now: the installation runs without a message loop.
void SetProgressBarPosition(HWND bar, int position);
int ProgressBarPosition(HWND bar);
