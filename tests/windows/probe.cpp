// A test helper run under Wine next to zarvo1.exe: finds the window "Zarvo1" and reports or changes what
// the X server alone cannot (its client size, minimising and restoring it without a window manager).
//   probe info | minimise | restore      prints "caption=<text> client=<w>x<h> iconic=<0|1>"
#include <windows.h>

#include <cstdio>
#include <cstring>

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

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::printf("usage: probe info|minimise|restore\n");
        return 2;
    }
    HWND hwnd = FindWindowW(L"Zarvo1Window", nullptr);
    if (hwnd == nullptr) {
        std::printf("error: no window\n");
        return 1;
    }
    if (std::strcmp(argv[1], "minimise") == 0) {
        ShowWindow(hwnd, SW_MINIMIZE);
    } else if (std::strcmp(argv[1], "restore") == 0) {
        ShowWindow(hwnd, SW_RESTORE);
    } else if (std::strcmp(argv[1], "info") != 0) {
        std::printf("error: unknown command %s\n", argv[1]);
        return 2;
    }
    return report(hwnd);
}
