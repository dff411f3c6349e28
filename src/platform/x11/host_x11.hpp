// The Linux window on X11, on one xcb connection.
#pragma once

namespace zarvo::x11 {

// Opens the window on the X server DISPLAY names. Returns 0 after Escape, the window's close, SIGINT or
// SIGTERM; 1 after a failure, which it reports in one line on stderr.
int run();

}  // namespace zarvo::x11
