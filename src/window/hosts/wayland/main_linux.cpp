// The program's entry on Linux: the Wayland host where a usable compositor is named, the SDL host on X11.
#include "window/hosts/sdl/host_sdl.hpp"
#include "window/hosts/wayland/host_wayland.hpp"
#include "window/hosts/wayland/wayland_probe.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

int main()
{
    using zarvo::wl::DisplayChoice;
    const auto text = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value != nullptr ? value : "");
    };
    const zarvo::wl::DisplayEnvironment env{text("DISPLAY"), text("WAYLAND_DISPLAY"), text("SDL_VIDEODRIVER")};
    const DisplayChoice choice = zarvo::wl::chooseDisplay(env, zarvo::wl::probeWayland);
    switch (choice.kind) {
    case DisplayChoice::Kind::none: std::fprintf(stderr, "zarvo1: %s\n", choice.message.c_str()); return 1;
    case DisplayChoice::Kind::wayland: return zarvo::wl::run();
    case DisplayChoice::Kind::x11: return zarvo::sdl::run(true);
    case DisplayChoice::Kind::asAsked: break;
    }
    return zarvo::sdl::run(false);
}
