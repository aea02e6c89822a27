// A stand-in for the Vellumor application that the setup installs: a small window titled
// "Vellumor" that opens the project file named in double quotes on its command line and lists
// the project's path and the entries of its [Project] section. The program path before it may
// be quoted or not (the setup starts it unquoted, a shortcut quoted). Wide throughout, so that a
// project path outside the machine's code page arrives whole.
#include <string>
#include <vector>

#include <windows.h>

namespace {

constexpr int ListId = 100;

// The text between the first pair of double quotes after the program path, or what follows the
// program path when nothing is quoted.
std::wstring ProjectArgument(const std::wstring& commandLine) {
    std::wstring rest = commandLine;
    if (!rest.empty() && rest[0] == L'"') {
        const size_t close = rest.find(L'"', 1);
        rest = close == std::wstring::npos ? std::wstring() : rest.substr(close + 1);
    }
    const size_t open = rest.find(L'"');
    if (open != std::wstring::npos) {
        const size_t close = rest.find(L'"', open + 1);
        return rest.substr(open + 1, close == std::wstring::npos ? std::wstring::npos : close - open - 1);
    }
    if (commandLine.empty() || commandLine[0] == L'"') {
        const size_t first = rest.find_first_not_of(L' ');
        return first == std::wstring::npos ? std::wstring() : rest.substr(first);
    }
    return {};
}

std::vector<std::wstring> ProjectLines(const std::wstring& project) {
    if (project.empty()) return {L"No project file was given."};
    const DWORD attributes = GetFileAttributesW(project.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {L"The project file " + project + L" cannot be found."};
    std::vector<std::wstring> lines = {L"Project: " + project, L"", L"[Project]"};
    std::vector<wchar_t> section(32768);
    const DWORD n = GetPrivateProfileSectionW(L"Project", section.data(), static_cast<DWORD>(section.size()),
                                              project.c_str());
    for (DWORD i = 0; i < n;) {
        const std::wstring entry(section.data() + i);
        if (entry.empty()) break;
        lines.push_back(entry);
        i += static_cast<DWORD>(entry.size()) + 1;
    }
    return lines;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        MoveWindow(GetDlgItem(window, ListId), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = L"VellumorWindow";
    RegisterClassW(&windowClass);

    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    HWND window =
        CreateWindowExW(0, L"VellumorWindow", L"Vellumor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        MulDiv(520, dpi, 96), MulDiv(300, dpi, 96), nullptr, nullptr, instance, nullptr);
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0, 0, 0, 0, window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(ListId)), instance, nullptr);
    SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    for (const std::wstring& line : ProjectLines(ProjectArgument(GetCommandLineW())))
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    RECT client{};
    GetClientRect(window, &client);
    MoveWindow(list, 0, 0, client.right, client.bottom, FALSE);

    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
