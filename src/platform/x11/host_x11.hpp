// The Linux window on X11, on one xcb connection.
#pragma once

namespace zarvo::x11 {

// Opens the window on the X server named by DISPLAY and runs until Escape, the window's close or SIGINT or
// SIGTERM (status 0). A failure ends it with one line on stderr and status 1.
int run();

}  // namespace zarvo::x11
