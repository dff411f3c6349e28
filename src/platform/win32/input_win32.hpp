// The Windows host's translation of window messages into the shared layer's events. It takes plain
// integers (the message, its two parameters, the keys held) and uses no Windows header, so it builds and
// is tested on any machine; host_win32.cpp checks at compile time that the constants are Windows' own.
#pragma once

#include "host/event.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace zarvo::win32 {

// The messages translated.
inline constexpr std::uint32_t kWmSize = 0x0005;
inline constexpr std::uint32_t kWmKeyDown = 0x0100;
inline constexpr std::uint32_t kWmSysKeyDown = 0x0104;
inline constexpr std::uint32_t kWmTimer = 0x0113;
inline constexpr std::uint32_t kWmMouseMove = 0x0200;
inline constexpr std::uint32_t kWmLButtonDown = 0x0201;
inline constexpr std::uint32_t kWmRButtonDown = 0x0204;
inline constexpr std::uint32_t kWmMButtonDown = 0x0207;
inline constexpr std::uint32_t kWmXButtonDown = 0x020B;
inline constexpr std::uint32_t kWmDpiChanged = 0x02E0;
// What a size report says in its wParam: MAXSHOW and MAXHIDE concern other windows.
inline constexpr std::uintptr_t kSizeRestored = 0;
inline constexpr std::uintptr_t kSizeMinimized = 1;
inline constexpr std::uintptr_t kSizeMaximized = 2;
inline constexpr std::uintptr_t kSizeMaxShow = 3;
inline constexpr std::uintptr_t kSizeMaxHide = 4;
// The keys a mouse message's wParam says are held.
inline constexpr std::uintptr_t kMkShift = 0x0004;
inline constexpr std::uintptr_t kMkControl = 0x0008;
// Virtual key codes the host asks the state of.
inline constexpr int kVkShift = 0x10;
inline constexpr int kVkControl = 0x11;
inline constexpr int kVkMenu = 0x12;
// The id of the host's one timer, the tick's.
inline constexpr std::uintptr_t kTickTimer = 1;

// Shift, Ctrl and Alt as the keyboard's state has them when the message is handled (GetKeyState).
struct HeldKeys {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

// What one message gives the shared layer, in order: nothing, one event, or two for a size report.
struct Translation {
    std::array<HostEvent, 2> events{};
    std::size_t count = 0;
    const HostEvent* begin() const { return events.data(); }
    const HostEvent* end() const { return events.data() + count; }
};

// The message as the shared layer acts on it; every other message gives nothing. A mouse message's wParam
// says whether Shift and Ctrl are held; Alt, and for a key all three, come from held. Minimised, the window
// is out of sight (its client area of 0 x 0 is no size for the picture); any other size report says it is
// in sight, then gives its size.
Translation translate(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam, HeldKeys held);

// A rectangle in screen pixels as Windows lays out a RECT: four 32-bit edges, the right and bottom ones
// just outside it.
struct ScreenRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};
// Where the window goes when its display's dots per inch change: the outer rectangle Windows suggests for
// the new scale, as SetWindowPos takes it.
struct Placement {
    int dpi = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};
// A change of dots per inch (WM_DPICHANGED: the new value in wParam's words, lParam the address of the
// suggested ScreenRect) as the window's new place; nothing for every other message, and for a message
// without a rectangle or with an empty one. The size report that follows the move is the resize.
std::optional<Placement> dpiPlacement(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

// What ends the screen saver, as every saver ends: a key, a click, or the pointer moving more than a few
// pixels (kSaverSlack, across or down) from where it was when the saver started; a pointer that merely
// trembles, or a move reported where it already was, does not.
class SaverWatch {
public:
    static constexpr int kSlack = 4;

    // Where the pointer is, in the window's client coordinates, as the saver starts. Without it the first
    // move says where the pointer was.
    void start(int x, int y);
    // Whether the message (a key, a button or a move with its lParam) ends the saver.
    bool ends(std::uint32_t message, std::intptr_t lParam);

private:
    bool known_ = false;
    int x_ = 0;
    int y_ = 0;
};

}  // namespace zarvo::win32
