// The XScreenSaver display mode's entry: the X11 host in the window XScreenSaver (or the command line)
// names, or in a window of its own to try it by hand.
#include "platform/x11/host_x11.hpp"
#include "platform/x11/saver_target.hpp"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

int main(int argc, char** argv)
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);  // as the window program does (main_linux.cpp), for the same reason
#endif
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const char* environment = std::getenv("XSCREENSAVER_WINDOW");
    const zarvo::x11::SaverChoice choice =
        zarvo::x11::chooseSaverTarget(arguments, environment != nullptr ? environment : "");
    if (!choice.error.empty()) {
        std::fprintf(stderr, "zarvo1-saver: %s\n", choice.error.c_str());
        return 1;
    }
    return zarvo::x11::run(choice.target);
}
