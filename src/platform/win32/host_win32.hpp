// The Windows window: its run, and the message box that reports a failure.
#pragma once

#include <windows.h>

#include "host/failure.hpp"

namespace zarvo::win32 {

// Opens the window "Zarvo1" and runs its message loop until Escape or the window is closed. Returns the
// process's exit status; a failure escapes as an exception once the window is gone.
int run(HINSTANCE instance, int show);

// Reports a failure in a message box.
void showError(const Failure& failure);

}  // namespace zarvo::win32
