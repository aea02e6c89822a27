/* The install benchmark's "empty program": returns at once, so that its time under Wine is the
   cost of starting and ending a Windows program (a GUI one, as the installers are). */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    return 0;
}
