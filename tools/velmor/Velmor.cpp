// A stand-in for the Vellumor application that the setup installs: a small window titled
// "Vellumor" that opens the project file named in double quotes on its command line and lists
// the project's path and the entries of its [Project] section. The program path before it may
// be quoted or not (the setup starts it unquoted, a shortcut quoted).
#include <string>
#include <vector>

#include <windows.h>

namespace {

constexpr int ListId = 100;

// The text between the first pair of double quotes after the program path, or what follows the
// program path when nothing is quoted.
std::string ProjectArgument(const std::string& commandLine) {
    std::string rest = commandLine;
    if (!rest.empty() && rest[0] == '"') {
        const size_t close = rest.find('"', 1);
        rest = close == std::string::npos ? std::string() : rest.substr(close + 1);
    }
    const size_t open = rest.find('"');
    if (open != std::string::npos) {
        const size_t close = rest.find('"', open + 1);
        return rest.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    }
    if (commandLine.empty() || commandLine[0] == '"') {
        const size_t first = rest.find_first_not_of(' ');
        return first == std::string::npos ? std::string() : rest.substr(first);
    }
    return {};
}

std::vector<std::string> ProjectLines(const std::string& project) {
    if (project.empty()) return {"No project file was given."};
    const DWORD attributes = GetFileAttributesA(project.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {"The project file " + project + " cannot be found."};
    std::vector<std::string> lines = {"Project: " + project, "", "[Project]"};
    std::vector<char> section(32768);
    const DWORD n = GetPrivateProfileSectionA("Project", section.data(), static_cast<DWORD>(section.size()),
                                              project.c_str());
    for (DWORD i = 0; i < n;) {
        const std::string entry(section.data() + i);
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
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = "VellumorWindow";
    RegisterClassA(&windowClass);

    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    HWND window =
        CreateWindowExA(0, "VellumorWindow", "Vellumor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        MulDiv(520, dpi, 96), MulDiv(300, dpi, 96), nullptr, nullptr, instance, nullptr);
    HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT, 0, 0, 0, 0, window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(ListId)), instance, nullptr);
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    for (const std::string& line : ProjectLines(ProjectArgument(GetCommandLineA())))
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    RECT client{};
    GetClientRect(window, &client);
    MoveWindow(list, 0, 0, client.right, client.bottom, FALSE);

    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
