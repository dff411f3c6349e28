// The Linux window on X11 (SDL2): its run, and the copy of the picture into an SDL surface, kept apart so
// it can be tested without a display. Only host_sdl.cpp and input_sdl.cpp include SDL; this
// header names SDL's surface type without its definition.
#pragma once

#include "core/framebuffer.hpp"

struct SDL_Surface;

namespace zarvo::sdl {

// Copies a region of the picture into a surface of any pixel format SDL can convert to. The region must
// lie inside both. Raises a run-time error when SDL cannot convert.
void copyToSurface(const Framebuffer& picture, Rect region, SDL_Surface& surface);

// Opens the window and runs until Escape or the window is closed. Returns the process's exit status:
// 0 for those two, non-zero after a failure, which has been reported. x11: on the X server named by
// DISPLAY; otherwise on the driver SDL_VIDEODRIVER names.
int run(bool x11);

// The module the Linux entry loads for X11 (zarvo1-sdl.so): the name and type of the one function it
// exports, which calls run (x11: 0 or 1).
inline constexpr const char* kModuleEntry = "zarvo1_sdl_run";
using ModuleEntry = int (*)(int x11);

}  // namespace zarvo::sdl
