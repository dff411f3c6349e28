// The XScreenSaver display mode's entry: the X11 host in the window XScreenSaver (or the command line)
// names, or in a window of its own to try it by hand.
#include "platform/linux/linux_host.hpp"
#include "platform/x11/host_x11.hpp"
#include "platform/x11/saver_target.hpp"

#include <cstdlib>
#include <string_view>
#include <vector>

int main(int argc, char** argv)
{
    zarvo::lnx::mapLargePicturesApart();
    const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    const char* environment = std::getenv("XSCREENSAVER_WINDOW");
    const zarvo::x11::SaverChoice choice =
        zarvo::x11::chooseSaverTarget(arguments, environment != nullptr ? environment : "");
    if (!choice.error.empty()) {
        zarvo::lnx::report(choice.error);
        return 1;
    }
    return zarvo::x11::run(choice.target);
}
