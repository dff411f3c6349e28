// The Windows host's translation of window messages into the shared layer's events.
#include "platform/win32/input_win32.hpp"

#include <limits>

namespace zarvo::win32 {
namespace {

// The low and high 16 bits of lParam, as LOWORD and HIWORD take them.
int lowWord(std::intptr_t lp)
{
    return static_cast<int>(static_cast<std::uintptr_t>(lp) & 0xFFFFU);
}
int highWord(std::intptr_t lp)
{
    return static_cast<int>((static_cast<std::uintptr_t>(lp) >> 16U) & 0xFFFFU);
}
// The same, signed, as GET_X_LPARAM and GET_Y_LPARAM take them: a press left of or above the client area
// (the mouse captured) gives a negative coordinate.
float signedWord(int word)
{
    return static_cast<float>(static_cast<std::int16_t>(static_cast<std::uint16_t>(word)));
}

PointerButton buttonOf(std::uint32_t message)
{
    switch (message) {
    case kWmLButtonDown: return PointerButton::left;
    case kWmRButtonDown: return PointerButton::right;
    case kWmMButtonDown: return PointerButton::middle;
    default: return PointerButton::other;  // the extra buttons
    }
}

}  // namespace

Translation translate(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam, HeldKeys held)
{
    Translation out;
    HostEvent& in = out.events[0];
    switch (message) {
    case kWmSize:
        if (wParam == kSizeMaxShow || wParam == kSizeMaxHide) {
            break;
        }
        in.kind = HostEvent::Kind::visibility;
        in.visible = wParam != kSizeMinimized;
        if (in.visible) {
            HostEvent& size = out.events[1];
            size.kind = HostEvent::Kind::resized;
            size.width = lowWord(lParam);
            size.height = highWord(lParam);
            out.count = 2;
            return out;
        }
        break;
    case kWmTimer:
        if (wParam == kTickTimer) {
            in.kind = HostEvent::Kind::tick;
        }
        break;
    case kWmLButtonDown:
    case kWmRButtonDown:
    case kWmMButtonDown:
    case kWmXButtonDown:
        in.kind = HostEvent::Kind::mouseDown;
        in.button = buttonOf(message);
        in.modifiers = modifierBits((wParam & kMkShift) != 0, (wParam & kMkControl) != 0, held.alt);
        in.x = signedWord(lowWord(lParam));
        in.y = signedWord(highWord(lParam));
        break;
    case kWmKeyDown:
    case kWmSysKeyDown:
        in.kind = HostEvent::Kind::keyDown;
        in.keyCode = static_cast<std::int16_t>(wParam & 0xFFU);
        in.modifiers = modifierBits(held.shift, held.ctrl, held.alt);
        break;
    default: break;
    }
    out.count = in.kind == HostEvent::Kind::none ? 0 : 1;
    return out;
}

std::optional<Placement> dpiPlacement(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (message != kWmDpiChanged || lParam == 0) {
        return std::nullopt;
    }
    const auto* r = reinterpret_cast<const ScreenRect*>(lParam);  // NOLINT(performance-no-int-to-ptr)
    const std::int64_t width = std::int64_t{r->right} - r->left;
    const std::int64_t height = std::int64_t{r->bottom} - r->top;
    if (width <= 0 || height <= 0 || width > std::numeric_limits<int>::max() ||
        height > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    // The dots per inch across (the low word); Windows gives the same value in both.
    return Placement{lowWord(static_cast<std::intptr_t>(wParam)), r->left, r->top, static_cast<int>(width),
                     static_cast<int>(height)};
}

void SaverWatch::start(int x, int y)
{
    known_ = true;
    x_ = x;
    y_ = y;
}

bool SaverWatch::ends(std::uint32_t message, std::intptr_t lParam)
{
    switch (message) {
    case kWmKeyDown:
    case kWmSysKeyDown:
    case kWmLButtonDown:
    case kWmRButtonDown:
    case kWmMButtonDown:
    case kWmXButtonDown: return true;
    case kWmMouseMove: {
        const auto x = static_cast<int>(signedWord(lowWord(lParam)));
        const auto y = static_cast<int>(signedWord(highWord(lParam)));
        if (!known_) {
            start(x, y);
            return false;
        }
        return x - x_ > kSlack || x_ - x > kSlack || y - y_ > kSlack || y_ - y > kSlack;
    }
    default: return false;
    }
}

}  // namespace zarvo::win32
