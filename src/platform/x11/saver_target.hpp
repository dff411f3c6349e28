// Where the display mode draws: the window XScreenSaver hands it, one named on its command line, the root
// window, or a window of its own when nothing names one. A plain function of the arguments and the
// environment, tested without a server.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace zarvo::x11 {

struct SaverTarget {
    enum class Kind { ownWindow, given, root };
    Kind kind = Kind::ownWindow;
    std::uint32_t window = 0;  // the given window's id
};

struct SaverChoice {
    SaverTarget target;
    std::string error;  // empty when the arguments make sense; otherwise one line saying what is accepted
};

// The arguments after the program's name, and XSCREENSAVER_WINDOW's value (empty when it is not set).
// Accepted: -root, -window-id ID (decimal or 0x hex), each also with two dashes. An explicit -window-id
// wins; otherwise the window XScreenSaver names, since it runs its display modes as "NAME --root" with
// that variable set; otherwise -root; otherwise a window of the program's own.
SaverChoice chooseSaverTarget(std::span<const std::string_view> arguments, std::string_view environmentWindow);

}  // namespace zarvo::x11
