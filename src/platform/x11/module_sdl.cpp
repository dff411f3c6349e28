// The SDL host as a module of its own, which the Linux entry loads only to open the window on X11: a run
// on Wayland then never loads SDL and the fifty libraries it brings (sound, X, input).
#include "platform/x11/host_sdl.hpp"

extern "C" __attribute__((visibility("default"))) int zarvo1_sdl_run(int x11)
{
    return zarvo::sdl::run(x11 != 0);
}
