// The progress bar's window class: the position lives in a small block of the process that the
// window's extra bytes point to (changing it then needs no call into the window manager), and one
// function draws it into any device context; painting (WM_PAINT, or a position change) draws
// into a memory picture first and copies it to the screen in one blit.
#include "setup/win32/ProgressBar.h"

#include <uxtheme.h>
#include <vssym32.h>

const char* const ProgressBarClassName = "ParlavoxProgressBar";

namespace {

// The window's extra bytes hold a pointer to its state, made and freed with the window.
constexpr int StateSlot = 0;
struct TBarState {
    int Position = 0;
    // The visual style's progress parts, opened once (and again when the theme changes); none
    // when the classic look applies.
    HTHEME Theme = nullptr;
    bool ThemeHasGaps = false; // parts of the bar show the parent through
};

TBarState* State(HWND bar) {
    return reinterpret_cast<TBarState*>(GetWindowLongPtrA(bar, StateSlot));
}
constexpr int MaxPosition = 100;
// The common control's classic blocks: as wide as two thirds of the bar's inner height, two
// pixels apart.
constexpr int BlockGap = 2;

void DrawClassic(HDC dc, RECT inner, int position) {
    FillRect(dc, &inner, GetSysColorBrush(COLOR_3DFACE));
    InflateRect(&inner, -1, -1);
    const int end = inner.left + MulDiv(position, inner.right - inner.left, MaxPosition);
    const int block = (inner.bottom - inner.top) * 2 / 3;
    if (block <= 0) return;
    for (int left = inner.left; left < end; left += block + BlockGap) {
        RECT piece{left, inner.top, left + block < inner.right ? left + block : inner.right, inner.bottom};
        FillRect(dc, &piece, GetSysColorBrush(COLOR_HIGHLIGHT));
    }
}

void DrawThemed(HTHEME theme, HDC dc, const RECT& bounds, int position) {
    DrawThemeBackground(theme, dc, PP_BAR, 0, &bounds, nullptr);
    RECT fill{};
    if (FAILED(GetThemeBackgroundContentRect(theme, dc, PP_BAR, 0, &bounds, &fill))) fill = bounds;
    fill.right = fill.left + MulDiv(position, fill.right - fill.left, MaxPosition);
    if (fill.right > fill.left) DrawThemeBackground(theme, dc, PP_CHUNK, 0, &fill, nullptr);
}

// Opens the visual style's parts, and gives the window a static edge, as the common control has,
// only when no theme draws the frame.
void OpenTheme(HWND bar) {
    TBarState* state = State(bar);
    if (!state) return;
    if (state->Theme) CloseThemeData(state->Theme);
    state->Theme = OpenThemeData(bar, L"PROGRESS");
    state->ThemeHasGaps = state->Theme && IsThemeBackgroundPartiallyTransparent(state->Theme, PP_BAR, 0);
    LONG_PTR exStyle = GetWindowLongPtrA(bar, GWL_EXSTYLE) & ~(WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE);
    SetWindowLongPtrA(bar, GWL_EXSTYLE,
                      state->Theme ? exStyle & ~WS_EX_STATICEDGE : exStyle | WS_EX_STATICEDGE);
    SetWindowPos(bar, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Draws the bar into dc through a memory picture of the client area.
void Paint(HWND bar, HDC dc) {
    RECT client{};
    GetClientRect(bar, &client);
    const int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0) return;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP picture = CreateCompatibleBitmap(dc, width, height);
    HGDIOBJ previous = SelectObject(memory, picture);
    const TBarState* state = State(bar);
    const int position = state ? state->Position : 0;
    if (state && state->Theme) {
        if (state->ThemeHasGaps) DrawThemeParentBackground(bar, memory, &client);
        DrawThemed(state->Theme, memory, client, position);
    } else {
        DrawClassic(memory, client, position);
    }
    BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteObject(picture);
    DeleteDC(memory);
}

LRESULT CALLBACK ProgressBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrA(bar, StateSlot, reinterpret_cast<LONG_PTR>(new TBarState));
        return DefWindowProcA(bar, message, wParam, lParam);
    case WM_CREATE:
    case WM_THEMECHANGED:
        OpenTheme(bar);
        return 0;
    case WM_NCDESTROY:
        if (State(bar) && State(bar)->Theme) CloseThemeData(State(bar)->Theme);
        delete State(bar);
        SetWindowLongPtrA(bar, StateSlot, 0);
        return DefWindowProcA(bar, message, wParam, lParam);
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(bar, &paint);
        Paint(bar, dc);
        EndPaint(bar, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        Paint(bar, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1; // the paint covers every pixel
    default:
        return DefWindowProcA(bar, message, wParam, lParam);
    }
}

} // namespace

bool RegisterProgressBarClass(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ProgressBarProc;
    windowClass.cbWndExtra = sizeof(LONG_PTR);
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = ProgressBarClassName;
    return RegisterClassA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

int ProgressBarPosition(HWND bar) {
    const TBarState* state = State(bar);
    return state ? state->Position : 0;
}

void SetProgressBarPosition(HWND bar, int position) {
    TBarState* state = State(bar);
    position = position < 0 ? 0 : position > MaxPosition ? MaxPosition : position;
    if (!state || position == state->Position) return;
    state->Position = position;
    if (!IsWindowVisible(bar)) return;
    HDC dc = GetDC(bar);
    Paint(bar, dc);
    ReleaseDC(bar, dc);
}
