// The progress bar's window class: the position lives in a small block of the process that the
// window's extra bytes point to (changing it then needs no call into the window manager), and one
// function draws it into any device context. The bar's look at each position is drawn once into
// a memory picture of all positions (one row each) and the screen gets a copy of that row in one
// blit: an installation shows the positions 0 to 100 over and over, once per file, and drawing a
// themed part costs the system a fresh device context each time (Wine's X11 driver then sets up
// a font and reads the X resources twice), which made painting the bar cost as much as the whole
// expansion. The picture is drawn anew when the size, the theme or the system colours change;
// it takes 101 rows of the bar's size (2.4 MB for the 369 x 16 pixels at 96 dpi).
#include "setup/win32/ProgressBar.h"

#include <algorithm>
#include <iterator>

#include <uxtheme.h>
#include <vssym32.h>

const wchar_t* const ProgressBarClassName = L"ParlavoxProgressBar";

namespace {

// The window's extra bytes hold a pointer to its state, made and freed with the window.
constexpr int StateSlot = 0;
struct TBarState {
    int Position = 0;
    // The visual style's progress parts, opened once (and again when the theme changes); none
    // when the classic look applies.
    HTHEME Theme = nullptr;
    bool ThemeHasGaps = false; // parts of the bar show the parent through
    // The picture of every position, and which rows are drawn already.
    HDC Pictures = nullptr;
    HBITMAP PicturesBitmap = nullptr;
    HGDIOBJ PreviousBitmap = nullptr;
    int Width = 0, Height = 0;
    bool Drawn[101] = {};
};

TBarState* State(HWND bar) {
    return reinterpret_cast<TBarState*>(GetWindowLongPtrW(bar, StateSlot));
}
constexpr int MaxPosition = 100;
static_assert(sizeof(TBarState::Drawn) == MaxPosition + 1);
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

void FreePictures(TBarState& state) {
    if (state.Pictures) {
        SelectObject(state.Pictures, state.PreviousBitmap);
        DeleteObject(state.PicturesBitmap);
        DeleteDC(state.Pictures);
    }
    state.Pictures = nullptr;
    state.PicturesBitmap = nullptr;
    state.Width = state.Height = 0;
}

// Opens the visual style's parts, and gives the window a static edge, as the common control has,
// only when no theme draws the frame.
void OpenTheme(HWND bar) {
    TBarState* state = State(bar);
    if (!state) return;
    FreePictures(*state);
    if (state->Theme) CloseThemeData(state->Theme);
    state->Theme = OpenThemeData(bar, L"PROGRESS");
    state->ThemeHasGaps = state->Theme && IsThemeBackgroundPartiallyTransparent(state->Theme, PP_BAR, 0);
    LONG_PTR exStyle = GetWindowLongPtrW(bar, GWL_EXSTYLE) & ~(WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE);
    SetWindowLongPtrW(bar, GWL_EXSTYLE,
                      state->Theme ? exStyle & ~WS_EX_STATICEDGE : exStyle | WS_EX_STATICEDGE);
    SetWindowPos(bar, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The picture of all positions for a client area of this size, compatible with dc; null if it
// cannot be made.
HDC PicturesFor(TBarState& state, HDC dc, int width, int height) {
    if (state.Pictures && state.Width == width && state.Height == height) return state.Pictures;
    FreePictures(state);
    HDC pictures = CreateCompatibleDC(dc);
    HBITMAP bitmap = pictures ? CreateCompatibleBitmap(dc, width, height * (MaxPosition + 1)) : nullptr;
    if (!bitmap) {
        if (pictures) DeleteDC(pictures);
        return nullptr;
    }
    state.Pictures = pictures;
    state.PicturesBitmap = bitmap;
    state.PreviousBitmap = SelectObject(pictures, bitmap);
    state.Width = width;
    state.Height = height;
    std::fill(std::begin(state.Drawn), std::end(state.Drawn), false);
    return pictures;
}

// Draws the bar at its position into dc, from its row of the picture of all positions.
void Paint(HWND bar, HDC dc) {
    RECT client{};
    GetClientRect(bar, &client);
    const int width = client.right, height = client.bottom;
    TBarState* state = State(bar);
    if (width <= 0 || height <= 0 || !state) return;
    HDC pictures = PicturesFor(*state, dc, width, height);
    if (!pictures) return;
    const int position = state->Position, row = position * height;
    if (!state->Drawn[position]) {
        // The row is drawn as if it were the whole bar: the origin moves to its top.
        POINT origin{};
        SetViewportOrgEx(pictures, 0, row, &origin);
        if (state->Theme) {
            if (state->ThemeHasGaps) DrawThemeParentBackground(bar, pictures, &client);
            DrawThemed(state->Theme, pictures, client, position);
        } else {
            DrawClassic(pictures, client, position);
        }
        SetViewportOrgEx(pictures, origin.x, origin.y, nullptr);
        state->Drawn[position] = true;
    }
    BitBlt(dc, 0, 0, width, height, pictures, 0, row, SRCCOPY);
}

LRESULT CALLBACK ProgressBarProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCCREATE:
        SetWindowLongPtrW(bar, StateSlot, reinterpret_cast<LONG_PTR>(new TBarState));
        return DefWindowProcW(bar, message, wParam, lParam);
    case WM_CREATE:
    case WM_THEMECHANGED:
        OpenTheme(bar);
        return 0;
    case WM_SYSCOLORCHANGE:
        if (TBarState* state = State(bar)) FreePictures(*state);
        return 0;
    case WM_NCDESTROY:
        if (TBarState* state = State(bar)) {
            FreePictures(*state);
            if (state->Theme) CloseThemeData(state->Theme);
        }
        delete State(bar);
        SetWindowLongPtrW(bar, StateSlot, 0);
        return DefWindowProcW(bar, message, wParam, lParam);
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
        return DefWindowProcW(bar, message, wParam, lParam);
    }
}

} // namespace

bool RegisterProgressBarClass(HINSTANCE instance) {
    WNDCLASSW windowClass{};
    windowClass.style = CS_OWNDC; // a position change then makes no device context
    windowClass.lpfnWndProc = ProgressBarProc;
    windowClass.cbWndExtra = sizeof(LONG_PTR);
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = ProgressBarClassName;
    return RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
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
