// The Windows host: the window "Zarvo1" with a client area of 503 x 380 at 96 dpi (scaled to its display's
// dots per inch, and again when they change), the picture shown from a DIB section, the timer (50 ms, once a
// minute while minimised), and window messages handed to the shared layer through their translation.
#include <windows.h>

#include "platform/win32/host_win32.hpp"

#include "host/failure.hpp"
#include "host/session.hpp"
#include "platform/win32/dib_sink.hpp"
#include "platform/win32/input_win32.hpp"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace {

namespace win = zarvo::win32;
using Clock = zarvo::TickSchedule::Clock;

// The translation's constants are Windows' own.
static_assert(win::kWmSize == WM_SIZE && win::kWmTimer == WM_TIMER && win::kWmKeyDown == WM_KEYDOWN &&
              win::kWmSysKeyDown == WM_SYSKEYDOWN && win::kWmLButtonDown == WM_LBUTTONDOWN &&
              win::kWmRButtonDown == WM_RBUTTONDOWN && win::kWmMButtonDown == WM_MBUTTONDOWN &&
              win::kWmXButtonDown == WM_XBUTTONDOWN);
static_assert(win::kSizeRestored == SIZE_RESTORED && win::kSizeMinimized == SIZE_MINIMIZED &&
              win::kSizeMaximized == SIZE_MAXIMIZED && win::kSizeMaxShow == SIZE_MAXSHOW &&
              win::kSizeMaxHide == SIZE_MAXHIDE);
static_assert(win::kWmDpiChanged == WM_DPICHANGED && sizeof(win::ScreenRect) == sizeof(RECT) &&
              offsetof(RECT, left) == offsetof(win::ScreenRect, left) &&
              offsetof(RECT, top) == offsetof(win::ScreenRect, top) &&
              offsetof(RECT, right) == offsetof(win::ScreenRect, right) &&
              offsetof(RECT, bottom) == offsetof(win::ScreenRect, bottom));
static_assert(win::kMkShift == MK_SHIFT && win::kMkControl == MK_CONTROL && win::kVkShift == VK_SHIFT &&
              win::kVkControl == VK_CONTROL && win::kVkMenu == VK_MENU);

constexpr int kIconResource = 1;  // the icon in zarvo1.rc
constexpr wchar_t kClassName[] = L"Zarvo1Window";

// Everything the host keeps, owned by run and reached from the window through GWLP_USERDATA.
struct Host {
    explicit Host(zarvo::Colour background) : session(background) {}

    zarvo::Session session;
    win::DibSink sink;
    win::WindowMode mode;
    win::SaverWatch watch;       // the saver's: what ends it
    std::exception_ptr failure;  // what ends the program, reported once no handler can run any more
};

std::wstring widen(std::string_view text)
{
    const int size = static_cast<int>(text.size());
    const int n = size > 0 ? MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0) : 0;
    std::wstring out(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), n);
    }
    return out;
}

// The background is the colour scheme's menu-text colour. A COLORREF is 0x00BBGGRR, a colour value too.
zarvo::Colour schemeBackground()
{
    return static_cast<zarvo::Colour>(GetSysColor(COLOR_MENUTEXT));
}

// The timer is re-armed after every tick for the time left before the next wake: the schedule keeps the
// deadlines, so a late message costs no tick in the long run, and a minimised window wakes once a minute.
void armTimer(const Host& host, HWND hwnd)
{
    const int left = host.session.millisecondsToNextTick(Clock::now());
    const auto ms = static_cast<UINT>(left < static_cast<int>(USER_TIMER_MINIMUM) ? USER_TIMER_MINIMUM : left);
    if (SetTimer(hwnd, win::kTickTimer, ms, nullptr) == 0) {
        zarvo::raiseRuntimeError("the timer cannot be set");
    }
}

// The dots per inch of the display the program was started on; 96 where they cannot be read.
int systemDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
    if (screen != nullptr) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : 96;
}

// What Windows offers for a window's own display from 10 (1607) on, looked up in user32 when the program
// starts, so that it still runs on the systems before, which give every window the system's dots per inch.
struct PerMonitorDpi {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    DpiForWindow dpiForWindow = nullptr;
    AdjustForDpi adjustForDpi = nullptr;
};
const PerMonitorDpi& perMonitorDpi()
{
    static const PerMonitorDpi found = [] {
        PerMonitorDpi f;
        if (HMODULE user32 = GetModuleHandleW(L"user32.dll")) {
            // Through the generic function type, the one a cast from FARPROC is made through.
            using Generic = void (*)();
            f.dpiForWindow = reinterpret_cast<PerMonitorDpi::DpiForWindow>(
                reinterpret_cast<Generic>(GetProcAddress(user32, "GetDpiForWindow")));
            f.adjustForDpi = reinterpret_cast<PerMonitorDpi::AdjustForDpi>(
                reinterpret_cast<Generic>(GetProcAddress(user32, "AdjustWindowRectExForDpi")));
        }
        return f;
    }();
    return found;
}

// The dots per inch of the display the window is on.
int windowDpi(HWND hwnd)
{
    const PerMonitorDpi& pm = perMonitorDpi();
    const UINT dpi = pm.dpiForWindow != nullptr ? pm.dpiForWindow(hwnd) : 0;
    return dpi > 0 ? static_cast<int>(dpi) : systemDpi();
}

// The outer size of a window of the given style whose client area is 503 x 380 at 96 dpi, at dpi.
SIZE outerSize(DWORD style, int dpi)
{
    const zarvo::ClientSize wanted = zarvo::initialClientSize(dpi / 96.0);
    RECT frame{0, 0, wanted.width, wanted.height};
    const PerMonitorDpi& pm = perMonitorDpi();
    if (pm.adjustForDpi == nullptr || pm.adjustForDpi(&frame, style, FALSE, 0, static_cast<UINT>(dpi)) == FALSE) {
        AdjustWindowRectEx(&frame, style, FALSE, 0);
    }
    return {frame.right - frame.left, frame.bottom - frame.top};
}

win::HeldKeys heldKeys()
{
    return {GetKeyState(win::kVkShift) < 0, GetKeyState(win::kVkControl) < 0, GetKeyState(win::kVkMenu) < 0};
}

// The preview follows the size of its parent's client area; the parent gone, it goes too.
void followParent(HWND hwnd, HWND parent)
{
    RECT wanted{};
    RECT own{};
    if (IsWindow(parent) == FALSE || GetClientRect(parent, &wanted) == FALSE) {
        DestroyWindow(hwnd);
        return;
    }
    GetClientRect(hwnd, &own);
    if (wanted.right != own.right || wanted.bottom != own.bottom) {
        SetWindowPos(hwnd, nullptr, 0, 0, wanted.right, wanted.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// What the screen saver and its preview do otherwise than the window, before the shared handling; returns
// true with the result when the message is handled here. The saver ends at the first key, click or move of
// the pointer, with status 0, and shows no pointer; neither follows a change of dots per inch (the saver
// covers every display at its own pixels already; the preview is sized by its parent). The preview takes
// no input and never the focus, and checks its parent on every wake.
bool handleSaver(Host& host, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    result = 0;
    if (msg == WM_DPICHANGED) {
        return true;
    }
    if (host.mode.kind == win::WindowMode::Kind::saver) {
        if (host.watch.ends(msg, lp)) {
            PostQuitMessage(0);
            return true;
        }
        if (msg == WM_SETCURSOR) {
            SetCursor(nullptr);
            result = TRUE;
            return true;
        }
        return msg == WM_SYSCOMMAND && (wp & 0xFFF0U) == SC_SCREENSAVE;  // no other saver over this one
    }
    switch (msg) {
    case WM_MOUSEACTIVATE: result = MA_NOACTIVATE; return true;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN: return true;
    case WM_TIMER: followParent(hwnd, host.mode.parent); return IsWindow(hwnd) == FALSE;
    default: return false;
    }
}

// One message for the window. Returns true with its result in `result` when the message was handled.
bool handle(Host& host, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result)
{
    result = 0;
    switch (msg) {
    case WM_ERASEBKGND:
        result = 1;  // the DIB section covers the whole client area
        return true;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc != nullptr && host.sink.dc() != nullptr) {
            const RECT& r = ps.rcPaint;
            BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, host.sink.dc(), r.left, r.top, SRCCOPY);
        }
        EndPaint(hwnd, &ps);
        return true;
    }
    case WM_SYSCOLORCHANGE: host.session.setBackground(schemeBackground()); return false;
    case WM_DPICHANGED:
        // The window moved to a display of another scale, or the scale changed: it takes the rectangle
        // Windows suggests, and the size report that follows is a resize like any other.
        if (const std::optional<win::Placement> place = win::dpiPlacement(msg, wp, lp)) {
            SetWindowPos(hwnd, nullptr, place->x, place->y, place->width, place->height, SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return true;
    case WM_DESTROY:
        KillTimer(hwnd, win::kTickTimer);
        host.sink.release();
        PostQuitMessage(host.failure ? 1 : 0);
        return true;
    default: break;
    }
    const win::Translation in = win::translate(msg, wp, lp, heldKeys());
    if (in.count == 0) {
        return msg == WM_SIZE;  // a size report for another window's sake is handled all the same
    }
    for (const zarvo::HostEvent& event : in) {
        if (!host.session.handle(event, Clock::now())) {
            PostQuitMessage(0);  // Escape: the program ends at once
            return true;
        }
    }
    host.session.present(host.sink);
    // A tick, or the window going out of sight or coming back, sets when the next wake falls.
    if ((msg == WM_TIMER || msg == WM_SIZE) && host.session.isShown()) {
        armTimer(host, hwnd);
    }
    result = msg == WM_XBUTTONDOWN ? TRUE : 0;
    // Alt combinations keep their meaning for the window (Alt+F4 closes it, Alt+Space opens its menu).
    return msg != WM_SYSKEYDOWN;
}

// A run-time error ends the program: the window goes and the message loop ends with a non-zero status.
void fail(Host& host, HWND hwnd)
{
    if (!host.failure) {
        host.failure = std::current_exception();
    }
    KillTimer(hwnd, win::kTickTimer);
    DestroyWindow(hwnd);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<Host*>(create->lpCreateParams)->sink.hwnd = hwnd;
    }
    auto* host = reinterpret_cast<Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (host == nullptr) {
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    // No exception may cross back into the system's frames: each one is kept and ends the program.
    try {
        LRESULT result = 0;
        if ((host->session.ending() || host->failure) && msg != WM_DESTROY && msg != WM_PAINT) {
            return DefWindowProcW(hwnd, msg, wp, lp);  // the program is ending: the logic runs no more
        }
        if (host->mode.kind != win::WindowMode::Kind::window && handleSaver(*host, hwnd, msg, wp, lp, result)) {
            return result;
        }
        if (handle(*host, hwnd, msg, wp, lp, result)) {
            return result;
        }
    } catch (...) {
        fail(*host, hwnd);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// The window for the host's mode, not yet shown. The program's own window has a client area of 503 x 380
// at 96 dpi, scaled to its display's dots per inch (the program declares itself aware of each display's,
// so Windows does not stretch its pixels); where it lands is known once it exists, so it is laid out for
// the system's, then for its own display's. The saver is a topmost popup over the whole virtual desktop in
// device pixels, the pointer hidden; the preview a child filling its parent's client area.
HWND createWindow(Host& host, HINSTANCE instance)
{
    const std::wstring caption = widen(zarvo::kCaption);
    HWND hwnd = nullptr;
    switch (host.mode.kind) {
    case win::WindowMode::Kind::window: {
        constexpr DWORD style = WS_OVERLAPPEDWINDOW;
        const SIZE outer = outerSize(style, systemDpi());
        hwnd = CreateWindowExW(0, kClassName, caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT, outer.cx, outer.cy,
                               nullptr, nullptr, instance, &host);
        const SIZE own = hwnd != nullptr ? outerSize(style, windowDpi(hwnd)) : outer;
        if (own.cx != outer.cx || own.cy != outer.cy) {
            SetWindowPos(hwnd, nullptr, 0, 0, own.cx, own.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        break;
    }
    case win::WindowMode::Kind::saver: {
        hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, caption.c_str(), WS_POPUP,
                               GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                               GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN), nullptr,
                               nullptr, instance, &host);
        POINT at{};
        if (hwnd != nullptr && GetCursorPos(&at) != FALSE && ScreenToClient(hwnd, &at) != FALSE) {
            host.watch.start(at.x, at.y);
        }
        ShowCursor(FALSE);
        break;
    }
    case win::WindowMode::Kind::preview: {
        RECT area{};
        if (IsWindow(host.mode.parent) == FALSE || GetClientRect(host.mode.parent, &area) == FALSE) {
            zarvo::raiseRuntimeError("the window for the preview does not exist");
        }
        hwnd = CreateWindowExW(0, kClassName, caption.c_str(), WS_CHILD, 0, 0, area.right, area.bottom,
                               host.mode.parent, nullptr, instance, &host);
        break;
    }
    }
    if (hwnd == nullptr) {
        zarvo::raiseRuntimeError("the window cannot be created");
    }
    return hwnd;
}

}  // namespace

namespace zarvo::win32 {

void showError(const Failure& failure)
{
    const std::wstring text = L"Run-time error:\n\n" + widen(failure.what);
    MessageBoxW(nullptr, text.c_str(), widen(zarvo::kCaption).c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

void showMessage(HWND owner, std::string_view caption, std::string_view text, bool warning)
{
    MessageBoxW(owner, widen(text).c_str(), widen(caption).c_str(),
                MB_OK | (warning ? MB_ICONWARNING : MB_ICONINFORMATION) | MB_SETFOREGROUND);
}

int run(HINSTANCE instance, int show, WindowMode mode)
{
    auto host = std::make_unique<Host>(schemeBackground());
    host->mode = mode;

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

    HWND hwnd = createWindow(*host, instance);
    show = mode.kind == WindowMode::Kind::window ? show : mode.kind == WindowMode::Kind::saver ? SW_SHOW : SW_SHOWNA;

    // From here on a failure is a run-time error like any other: it ends the program through the window.
    // The first show, then the chain's first reset for the size the window shows, then the timer.
    try {
        ShowWindow(hwnd, show);
        // A window started minimised is out of sight from the first, as it is once minimised later.
        zarvo::HostEvent seen;
        seen.kind = zarvo::HostEvent::Kind::visibility;
        seen.visible = IsIconic(hwnd) == FALSE;
        (void)host->session.handle(seen, Clock::now());
        RECT client{};
        GetClientRect(hwnd, &client);
        host->session.shown(host->sink, client.right - client.left, client.bottom - client.top, Clock::now());
        armTimer(*host, hwnd);
        UpdateWindow(hwnd);
    } catch (...) {
        fail(*host, hwnd);
    }

    MSG msg{};
    BOOL got = 0;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // After Escape the window is still there until the process ends; it must not reach the host any more.
    if (IsWindow(hwnd) != FALSE) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        KillTimer(hwnd, win::kTickTimer);
    }
    if (host->failure) {
        std::rethrow_exception(host->failure);
    }
    if (got < 0) {
        zarvo::raiseRuntimeError("the message loop failed");
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace zarvo::win32
