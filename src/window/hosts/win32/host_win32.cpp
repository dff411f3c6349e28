// The Windows host: the window "Zarvo1" with a 503 x 380 client area, the picture shown from a DIB section,
// the 50 ms timer, and the translation of size, mouse and key messages into the calls of App.
#include <windows.h>
#include <windowsx.h>

#include "window/hosts/app.hpp"
#include "window/hosts/window_sizing.hpp"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr UINT_PTR kTimerId = 1;
constexpr int kIconResource = 1;  // the icon in zarvo1.rc
constexpr wchar_t kClassName[] = L"Zarvo1Window";

// The picture as the window shows it: a top-down 32-bit DIB section of the client's size, selected into a
// memory device context. Its words have the layout of the picture's, 0x00RRGGBB.
struct Dib {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    std::uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;
};

// Everything the host keeps, owned by WinMain and reached from the window through GWLP_USERDATA.
struct Host {
    explicit Host(zarvo::Colour background) : app(background) {}

    zarvo::App app;
    zarvo::WindowSizing sizing;
    Dib dib;
    std::string error;    // the run-time error that ends the program, empty while all is well
    bool ending = false;  // Escape was pressed: the logic handles no further event
    int exitStatus = 0;
};

std::wstring widen(std::string_view text)
{
    if (text.empty()) {
        return {};
    }
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    }
    return out;
}

// The background is the colour scheme's menu-text colour. A COLORREF is 0x00BBGGRR, a colour value too.
zarvo::Colour schemeBackground()
{
    return static_cast<zarvo::Colour>(GetSysColor(COLOR_MENUTEXT));
}

void releaseDib(Dib& dib)
{
    if (dib.dc != nullptr) {
        SelectObject(dib.dc, dib.previous);
        DeleteDC(dib.dc);
    }
    if (dib.bitmap != nullptr) {
        DeleteObject(dib.bitmap);
    }
    dib = Dib{};
}

// A DIB section of width x height (both above 0), replacing the one there was.
void makeDib(Dib& dib, HWND hwnd, int width, int height)
{
    releaseDib(dib);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: top row first, as the picture stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(hwnd);
    void* bits = nullptr;
    dib.bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    dib.dc = CreateCompatibleDC(screen);
    ReleaseDC(hwnd, screen);
    if (dib.bitmap == nullptr || dib.dc == nullptr || bits == nullptr) {
        releaseDib(dib);
        zarvo::raiseRuntimeError("out of memory: the window's picture cannot be created");
    }
    dib.previous = SelectObject(dib.dc, dib.bitmap);
    dib.bits = static_cast<std::uint32_t*>(bits);
    dib.width = width;
    dib.height = height;
}

// Copies a region of the picture into the DIB section and asks Windows to repaint it.
void present(Host& host, HWND hwnd, const zarvo::Rect& r)
{
    const zarvo::Framebuffer& picture = host.app.picture;
    if (host.dib.bits == nullptr || picture.width() != host.dib.width || picture.height() != host.dib.height) {
        return;
    }
    const auto width = static_cast<std::size_t>(picture.width());
    const auto x = static_cast<std::size_t>(r.x);
    for (int y = r.y; y < r.y + r.h; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * width + x;
        std::memcpy(host.dib.bits + row, picture.pixels() + row, static_cast<std::size_t>(r.w) * sizeof(std::uint32_t));
    }
    const RECT rect{r.x, r.y, r.x + r.w, r.y + r.h};
    InvalidateRect(hwnd, &rect, FALSE);
}

// After a reset the picture may have a new size or new contents: the DIB follows it and all is repainted.
// While the client area is empty (minimised, or sized to nothing) there is nothing to show.
void presentAll(Host& host, HWND hwnd)
{
    const zarvo::Framebuffer& picture = host.app.picture;
    if (picture.width() == 0 || picture.height() == 0) {
        releaseDib(host.dib);
    } else if (picture.width() != host.dib.width || picture.height() != host.dib.height) {
        makeDib(host.dib, hwnd, picture.width(), picture.height());
    }
    host.app.picture.takeDamage([](const zarvo::Rect&) {});
    if (host.dib.bits != nullptr) {
        GdiFlush();  // GDI is done with the bits before they change
        present(host, hwnd, zarvo::Rect{0, 0, picture.width(), picture.height()});
    }
}

void presentDamage(Host& host, HWND hwnd)
{
    if (!host.app.picture.damaged()) {
        return;
    }
    GdiFlush();  // GDI is done with the bits before they change
    host.app.picture.takeDamage([&](const zarvo::Rect& r) { present(host, hwnd, r); });
}

// The size of the client area as the window reports it now.
void sizeReport(Host& host, HWND hwnd, int width, int height, bool minimised)
{
    if (host.sizing.report(host.app, width, height, minimised)) {
        presentAll(host, hwnd);
    }
}

// The timer is re-armed after every message for the time left before the next tick: the schedule keeps
// the deadlines, so a late message costs no tick in the long run.
void armTimer(Host& host, HWND hwnd, zarvo::TickSchedule::TimePoint now)
{
    using namespace std::chrono;
    const auto left = ceil<milliseconds>(host.app.schedule.untilNext(now)).count();
    const auto ms = static_cast<UINT>(left < static_cast<long long>(USER_TIMER_MINIMUM) ? USER_TIMER_MINIMUM : left);
    if (SetTimer(hwnd, kTimerId, ms, nullptr) == 0) {
        zarvo::raiseRuntimeError("the timer cannot be set");
    }
}

std::int16_t heldModifiers()
{
    return zarvo::modifierBits(GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_MENU) < 0);
}

// Left, right and middle are the chain's buttons; the extra buttons are "other".
zarvo::PointerButton buttonOf(UINT msg)
{
    switch (msg) {
    case WM_LBUTTONDOWN: return zarvo::PointerButton::left;
    case WM_RBUTTONDOWN: return zarvo::PointerButton::right;
    case WM_MBUTTONDOWN: return zarvo::PointerButton::middle;
    default: return zarvo::PointerButton::other;
    }
}

void mouseDown(Host& host, zarvo::PointerButton button, WPARAM wp, LPARAM lp)
{
    const std::int16_t modifiers =
        zarvo::modifierBits((wp & MK_SHIFT) != 0, (wp & MK_CONTROL) != 0, GetKeyState(VK_MENU) < 0);
    host.app.mouseDown(button, modifiers, static_cast<float>(GET_X_LPARAM(lp)), static_cast<float>(GET_Y_LPARAM(lp)));
}

// One message for the window. Returns true with its result in `result` when the message was handled.
bool handle(Host& host, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    result = 0;
    switch (msg) {
    case WM_SIZE:
        // Size reports before the first show (from the window's creation) are not a showing of it.
        if (host.sizing.known() && wp != SIZE_MAXHIDE && wp != SIZE_MAXSHOW) {
            sizeReport(host, hwnd, LOWORD(lp), HIWORD(lp), wp == SIZE_MINIMIZED);
        }
        return true;
    case WM_TIMER:
        if (wp != kTimerId) {
            return false;
        }
        {
            const auto now = zarvo::TickSchedule::Clock::now();
            if (host.app.tickIfDue(now)) {
                presentDamage(host, hwnd);
            }
            armTimer(host, hwnd, now);
        }
        return true;
    case WM_ERASEBKGND:
        result = 1;  // the DIB section covers the whole client area
        return true;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc != nullptr && host.dib.dc != nullptr) {
            const RECT& r = ps.rcPaint;
            BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, host.dib.dc, r.left, r.top, SRCCOPY);
        }
        EndPaint(hwnd, &ps);
        return true;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
        mouseDown(host, buttonOf(msg), wp, lp);
        presentDamage(host, hwnd);
        result = msg == WM_XBUTTONDOWN ? TRUE : 0;
        return true;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (host.app.keyDown(static_cast<std::int16_t>(wp & 0xFFU), heldModifiers()) == zarvo::KeyOutcome::endProgram) {
            host.ending = true;
            PostQuitMessage(0);
            return true;
        }
        // Alt combinations keep their meaning for the window (Alt+F4 closes it, Alt+Space opens its menu).
        return msg == WM_KEYDOWN;
    case WM_SYSCOLORCHANGE: {
        host.app.picture.setBackground(schemeBackground());
        return false;
    }
    case WM_DESTROY:
        KillTimer(hwnd, kTimerId);
        releaseDib(host.dib);
        PostQuitMessage(host.exitStatus);
        return true;
    default: return false;
    }
}

// A run-time error ends the program: the window goes, the message loop ends with a non-zero status and
// WinMain shows the message once no handler can run any more.
void fail(Host& host, HWND hwnd, const char* what)
{
    if (host.error.empty()) {
        host.error = (what != nullptr && *what != '\0') ? what : "unknown error";
    }
    host.exitStatus = 1;
    KillTimer(hwnd, kTimerId);
    DestroyWindow(hwnd);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* host = reinterpret_cast<Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (host == nullptr) {
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    // No exception may cross back into the system's frames: every one becomes a run-time error here.
    try {
        LRESULT result = 0;
        if ((host->ending || !host->error.empty()) && msg != WM_DESTROY && msg != WM_PAINT) {
            return DefWindowProcW(hwnd, msg, wp, lp);  // the program is ending: the logic runs no more
        }
        if (handle(*host, hwnd, msg, wp, lp, result)) {
            return result;
        }
    } catch (const std::exception& e) {
        fail(*host, hwnd, e.what());
        return 0;
    } catch (...) {
        fail(*host, hwnd, nullptr);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void showError(const std::string& what)
{
    const std::wstring text = L"Run-time error:\n\n" + widen(what);
    MessageBoxW(nullptr, text.c_str(), widen(zarvo::kCaption).c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

int run(HINSTANCE instance, int show)
{
    auto host = std::make_unique<Host>(schemeBackground());

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    if (RegisterClassExW(&wc) == 0) {
        zarvo::raiseRuntimeError("the window class cannot be registered");
    }

    // The window's outer size for a client area of 503 x 380.
    constexpr DWORD style = WS_OVERLAPPEDWINDOW;
    RECT frame{0, 0, zarvo::kInitialWidth, zarvo::kInitialHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const std::wstring caption = widen(zarvo::kCaption);
    HWND hwnd =
        CreateWindowExW(0, kClassName, caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                        frame.bottom - frame.top, nullptr, nullptr, instance, host.get());
    if (hwnd == nullptr) {
        zarvo::raiseRuntimeError("the window cannot be created");
    }

    // From here on a failure is a run-time error like any other: it ends the program through the window.
    try {
        // The timer runs from the window's creation; its first tick falls one interval later.
        const auto now = zarvo::TickSchedule::Clock::now();
        host->app.schedule.start(now);
        armTimer(*host, hwnd, now);

        // The first show is the first size report: the chain resets once, for the size the window shows.
        ShowWindow(hwnd, show);
        RECT client{};
        GetClientRect(hwnd, &client);
        sizeReport(*host, hwnd, client.right - client.left, client.bottom - client.top, IsIconic(hwnd) != FALSE);
        UpdateWindow(hwnd);
    } catch (const std::exception& e) {
        fail(*host, hwnd, e.what());
    }

    MSG msg{};
    BOOL got = 0;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (got < 0 && host->error.empty()) {
        host->error = "the message loop failed";
        host->exitStatus = 1;
    }
    // After Escape the window is still there until the process ends; it must not reach the host any more.
    if (IsWindow(hwnd) != FALSE) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        KillTimer(hwnd, kTimerId);
    }
    if (!host->error.empty()) {
        showError(host->error);
        return host->exitStatus != 0 ? host->exitStatus : 1;
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    try {
        return run(instance, show);
    } catch (const std::exception& e) {
        showError(e.what());
    } catch (...) {
        showError("unknown error");
    }
    return 1;
}
