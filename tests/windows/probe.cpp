// A test helper run under Wine next to zarvo1.exe: finds the window "Zarvo1" and reports or changes what
// the X server alone cannot (its client size, minimising and restoring it without a window manager).
//   probe info | minimise | restore      prints "caption=<text> client=<w>x<h> iconic=<0|1>"
//   probe shot FILE | minimise FILE | restore FILE
//                                        also writes the client area as the screen shows it to FILE (a
//                                        binary PPM): just before minimising, or right after restoring, once
//                                        the window has painted itself, with a line "shot <n> ms after restoring"
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
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

}  // namespace

int main(int argc, char** argv)
{
    const char* command = argc >= 2 ? argv[1] : "";
    const char* file = argc == 3 ? argv[2] : nullptr;
    const bool known = std::strcmp(command, "info") == 0 || std::strcmp(command, "minimise") == 0 ||
                       std::strcmp(command, "restore") == 0 || std::strcmp(command, "shot") == 0;
    const bool needsFile = std::strcmp(command, "shot") == 0;
    const bool takesFile = std::strcmp(command, "info") != 0;
    if (!known || argc > 3 || (needsFile && file == nullptr) || (!takesFile && file != nullptr)) {
        std::printf("usage: probe info | minimise [FILE] | restore [FILE] | shot FILE\n");
        return 2;
    }
    HWND hwnd = FindWindowW(L"Zarvo1Window", nullptr);
    if (hwnd == nullptr) {
        std::printf("error: no window\n");
        return 1;
    }
    const bool restore = std::strcmp(command, "restore") == 0;
    // A shot is taken before minimising, and after restoring once the window has painted itself and its
    // pixels have reached the X server.
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
