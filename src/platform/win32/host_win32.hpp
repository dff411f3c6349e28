// The Windows window: its run, and the message boxes that report a failure or tell the user something.
#pragma once

#include <windows.h>

#include "host/failure.hpp"

#include <string_view>

namespace zarvo::win32 {

// How the window runs: the program's own window; the screen saver, full screen over every display until a
// key, a click or the pointer moving; or the saver's preview, filling the client area of another program's
// window (parent) until that window goes, taking neither input nor the focus.
struct WindowMode {
    enum class Kind { window, saver, preview };
    Kind kind = Kind::window;
    HWND parent = nullptr;
};

// Opens the window "Zarvo1" in the given mode and runs its message loop until it ends (Escape or the
// window closed; for the saver its input; for the preview its parent gone). Returns the process's exit
// status; a failure escapes as an exception once the window is gone.
int run(HINSTANCE instance, int show, WindowMode mode = {});

// Reports a failure in a message box.
void showError(const Failure& failure);

// A message box with the caption `caption`, in front of owner (nullptr: of no window).
void showMessage(HWND owner, std::string_view caption, std::string_view text, bool warning);

}  // namespace zarvo::win32
