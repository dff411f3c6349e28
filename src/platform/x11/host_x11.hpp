// The Linux window on X11, on one xcb connection.
#pragma once

#include "platform/x11/saver_target.hpp"

namespace zarvo::x11 {

// Runs on the X server DISPLAY names: in a window of its own (the window program, and the display mode
// tried by hand), or in the window the target names, which it only draws into and follows the size of.
// Returns 0 after Escape, its own window's close, the given window's end, SIGINT or SIGTERM; 1 after a
// failure, which it reports in one line on stderr.
int run(const SaverTarget& target = {});

}  // namespace zarvo::x11
