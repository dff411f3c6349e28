// The Wayland window: the Linux program's host where a usable Wayland compositor is named.
#pragma once

#include <memory>

struct wl_display;

namespace zarvo::wl {

// Opens the window on the compositor the probe found usable, on the probe's connection, and runs until Escape or the
// window is closed. Returns the process's exit status: 0 for those two, 1 after a failure, which has been reported. A
// lost connection to the compositor ends the process at once with one line and status 1.
int run(std::shared_ptr<wl_display> connection);

}  // namespace zarvo::wl
