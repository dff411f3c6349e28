// A test helper run under Wine next to zarvo1.exe and zarvo1.scr: finds the window "Zarvo1" and reports or
// changes what the X server alone cannot (its client size, minimising and restoring it without a window
// manager), and plays the part of the screen saver settings' windows.
//   probe info | minimise | restore      prints "caption=<text> client=<w>x<h> iconic=<0|1>"
//   probe shot FILE | minimise FILE | restore FILE
//                                        also writes the client area as the screen shows it to FILE (a
//                                        binary PPM): just before minimising, or right after restoring, once
//                                        the window has painted itself, with a line "shot <n> ms after restoring"
//   probe screen                         the saver's window: "window=<x>,<y> <w>x<h> screen=<x>,<y> <w>x<h>
//                                        topmost=<0|1>", the second rectangle the whole virtual desktop
//   probe fill                           makes the window's client area cover the screen, then as info
//   probe preview SCR                    opens a window of its own and runs "SCR /p <its handle>": a second
//                                        after the preview's child window is there, prints "child=<w>x<h> at
//                                        <x>,<y> of <w>x<h>" and "focused=<0|1> running=<0|1>"; makes the
//                                        window 400 x 300 inside, prints the child's place again 1.5 s later,
//                                        closes the window and prints "status=<n>" (or "status=running")
//   probe box SCR ARGUMENT               opens a window of its own and runs "SCR ARGUMENT" ("{owner}" in it
//                                        replaced by the window's handle), finds the program's message box,
//                                        prints "owner=<probe|none|other> text=<its text, lines joined by |>",
//                                        presses its OK and prints "status=<n>"
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <vector>

namespace {

int report(HWND hwnd)
{
    wchar_t caption[64] = {};
    GetWindowTextW(hwnd, caption, 64);
    RECT client{};
    if (GetClientRect(hwnd, &client) == 0) {
        std::printf("error: no client area\n");
        return 1;
    }
    std::printf("caption=%ls client=%ldx%ld iconic=%d\n", caption, client.right - client.left,
                client.bottom - client.top, IsIconic(hwnd) != FALSE ? 1 : 0);
    return 0;
}

// The client area as the screen shows it, as a binary PPM in path.
bool shoot(HWND hwnd, const char* path)
{
    RECT client{};
    POINT origin{0, 0};
    if (GetClientRect(hwnd, &client) == 0 || ClientToScreen(hwnd, &origin) == 0 || client.right <= 0 ||
        client.bottom <= 0) {
        return false;
    }
    const int width = client.right;
    const int height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = bitmap != nullptr && memory != nullptr;
    if (ok) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(memory, previous);
    }
    std::FILE* file = ok ? std::fopen(path, "wb") : nullptr;
    if (file != nullptr) {
        std::fprintf(file, "P6\n%d %d\n255\n", width, height);
        const auto* pixel = static_cast<const std::uint32_t*>(bits);
        std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3);
        for (int y = 0; y < height; ++y) {
            for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x, ++pixel) {
                row[3 * x] = static_cast<unsigned char>(*pixel >> 16U);
                row[3 * x + 1] = static_cast<unsigned char>(*pixel >> 8U);
                row[3 * x + 2] = static_cast<unsigned char>(*pixel);
            }
            ok = std::fwrite(row.data(), 1, row.size(), file) == row.size() && ok;
        }
        ok = std::fclose(file) == 0 && ok;
    } else {
        ok = false;
    }
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    return ok;
}

// Handles the probe's own window's messages for ms milliseconds.
void pump(DWORD ms)
{
    const DWORD start = GetTickCount();
    for (DWORD now = start; now - start < ms; now = GetTickCount()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - (now - start), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != FALSE) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

// A window of the probe's own, shown in front, with a client area of 320 x 240.
HWND ownWindow()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"Zarvo1Probe";
    RegisterClassW(&wc);
    RECT frame{0, 0, 320, 240};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    HWND hwnd =
        CreateWindowW(L"Zarvo1Probe", L"Zarvo1 probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                      frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(hwnd);
    pump(300);
    return hwnd;
}

// Starts "program arguments"; the process's handle, or nullptr.
HANDLE launch(const char* program, const char* arguments)
{
    char line[1024];
    std::snprintf(line, sizeof line, "\"%s\" %s", program, arguments);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &process) == FALSE) {
        std::printf("error: cannot start %s\n", line);
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

// Waits up to 10 s for the process to end, handling the own window's messages,
// and prints its status.
int reportEnd(HANDLE process)
{
    DWORD status = STILL_ACTIVE;
    for (int i = 0; i < 100 && WaitForSingleObject(process, 0) == WAIT_TIMEOUT; ++i) {
        pump(100);
    }
    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
        std::printf("status=running\n");
        TerminateProcess(process, 9);
    } else {
        GetExitCodeProcess(process, &status);
        std::printf("status=%lu\n", status);
    }
    CloseHandle(process);
    return 0;
}

int screen()
{
    HWND hwnd = FindWindowW(L"Zarvo1Window", nullptr);
    RECT r{};
    if (hwnd == nullptr || GetWindowRect(hwnd, &r) == FALSE) {
        std::printf("error: no window\n");
        return 1;
    }
    const bool topmost = (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    std::printf("window=%ld,%ld %ldx%ld screen=%d,%d %dx%d topmost=%d\n", r.left, r.top, r.right - r.left,
                r.bottom - r.top, GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN), topmost ? 1 : 0);
    return 0;
}

// The preview's place in the window: "child=<w>x<h> at <x>,<y> of <w>x<h>", the last the window's client area.
void reportChild(HWND parent, HWND child)
{
    RECT own{};
    RECT area{};
    GetClientRect(parent, &area);
    GetWindowRect(child, &own);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&own), 2);
    std::printf("child=%ldx%ld at %ld,%ld of %ldx%ld\n", own.right - own.left, own.bottom - own.top, own.left, own.top,
                area.right, area.bottom);
}

// Makes the window's client area cover the whole screen, its frame beyond the edges.
int fill()
{
    HWND hwnd = FindWindowW(L"Zarvo1Window", nullptr);
    if (hwnd == nullptr) {
        std::printf("error: no window\n");
        return 1;
    }
    RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
    SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER);
    return report(hwnd);
}

int preview(const char* program)
{
    HWND parent = ownWindow();
    char arguments[64];
    std::snprintf(arguments, sizeof arguments, "/p %lu",
                  static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(parent)));
    HANDLE process = launch(program, arguments);
    if (process == nullptr) {
        return 1;
    }
    HWND child = nullptr;
    for (int i = 0; i < 200 && child == nullptr; ++i) {
        pump(100);
        child = FindWindowExW(parent, nullptr, L"Zarvo1Window", nullptr);
    }
    if (child == nullptr) {
        std::printf("error: no preview in the window\n");
    } else {
        pump(1000);
        reportChild(parent, child);
        std::printf("focused=%d running=%d\n", GetFocus() == child ? 1 : 0,
                    WaitForSingleObject(process, 0) == WAIT_TIMEOUT ? 1 : 0);
        // A larger window: the preview follows within a wake or two.
        RECT frame{0, 0, 400, 300};
        AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
        SetWindowPos(parent, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER);
        pump(1500);
        reportChild(parent, child);
    }
    DestroyWindow(parent);
    return reportEnd(process);
}

struct Search {
    DWORD process = 0;
    HWND box = nullptr;
};

BOOL CALLBACK findBox(HWND hwnd, LPARAM lp)
{
    auto* search = reinterpret_cast<Search*>(lp);
    DWORD owner = 0;
    wchar_t name[16] = {};
    GetWindowThreadProcessId(hwnd, &owner);
    GetClassNameW(hwnd, name, 16);
    if (owner == search->process && std::wcscmp(name, L"#32770") == 0 && IsWindowVisible(hwnd) != FALSE) {
        search->box = hwnd;
        return FALSE;
    }
    return TRUE;
}

int box(const char* program, const char* argument)
{
    HWND own = ownWindow();
    char handle[32];
    std::snprintf(handle, sizeof handle, "%lu", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(own)));
    char arguments[256] = {};
    const char* mark = std::strstr(argument, "{owner}");
    if (mark != nullptr) {
        std::snprintf(arguments, sizeof arguments, "%.*s%s%s", static_cast<int>(mark - argument), argument, handle,
                      mark + 7);
    } else {
        std::snprintf(arguments, sizeof arguments, "%s", argument);
    }
    HANDLE process = launch(program, arguments);
    if (process == nullptr) {
        return 1;
    }
    Search search{GetProcessId(process), nullptr};
    for (int i = 0; i < 200 && search.box == nullptr && WaitForSingleObject(process, 0) == WAIT_TIMEOUT; ++i) {
        pump(100);
        EnumWindows(findBox, reinterpret_cast<LPARAM>(&search));
    }
    if (search.box == nullptr) {
        std::printf("error: no message box\n");
    } else {
        wchar_t text[512] = {};
        GetDlgItemTextW(search.box, 0xFFFF, text, 512);
        for (wchar_t* c = text; *c != 0; ++c) {
            *c = *c == L'\n' ? L'|' : *c == L'\r' || *c == L'\t' ? L' ' : *c;
        }
        HWND owner = GetWindow(search.box, GW_OWNER);
        std::printf("owner=%s text=%ls\n", owner == own ? "probe" : owner == nullptr ? "none" : "other", text);
        PostMessageW(search.box, WM_COMMAND, IDOK, 0);
    }
    return reportEnd(process);
}

}  // namespace

int main(int argc, char** argv)
{
    const char* command = argc >= 2 ? argv[1] : "";
    if (std::strcmp(command, "screen") == 0 && argc == 2) {
        return screen();
    }
    if (std::strcmp(command, "fill") == 0 && argc == 2) {
        return fill();
    }
    if (std::strcmp(command, "preview") == 0 && argc == 3) {
        return preview(argv[2]);
    }
    if (std::strcmp(command, "box") == 0 && argc == 4) {
        return box(argv[2], argv[3]);
    }
    const char* file = argc == 3 ? argv[2] : nullptr;
    const bool known = std::strcmp(command, "info") == 0 || std::strcmp(command, "minimise") == 0 ||
                       std::strcmp(command, "restore") == 0 || std::strcmp(command, "shot") == 0;
    const bool needsFile = std::strcmp(command, "shot") == 0;
    const bool takesFile = std::strcmp(command, "info") != 0;
    if (!known || argc > 3 || (needsFile && file == nullptr) || (!takesFile && file != nullptr)) {
        std::printf(
            "usage: probe info | minimise [FILE] | restore [FILE] | shot FILE | screen | fill | preview SCR | box SCR "
            "ARGUMENT\n");
        return 2;
    }
    HWND hwnd = FindWindowW(L"Zarvo1Window", nullptr);
    if (hwnd == nullptr) {
        std::printf("error: no window\n");
        return 1;
    }
    const bool restore = std::strcmp(command, "restore") == 0;
    // A shot is taken before minimising, and after restoring once the window has
    // painted itself and its pixels have reached the X server.
    const DWORD restoring = GetTickCount();
    if (restore) {
        ShowWindow(hwnd, SW_RESTORE);
        UpdateWindow(hwnd);
        Sleep(100);
    }
    if (file != nullptr && !shoot(hwnd, file)) {
        std::printf("error: no shot of the window in %s\n", file);
        return 1;
    }
    const DWORD shot = GetTickCount();
    if (std::strcmp(command, "minimise") == 0) {
        ShowWindow(hwnd, SW_MINIMIZE);
    }
    const int status = report(hwnd);
    if (restore && file != nullptr) {
        std::printf("shot %lu ms after restoring\n", shot - restoring);
    }
    return status;
}
