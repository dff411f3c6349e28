// The program's entry on Linux: the Wayland host where a usable compositor is named, otherwise the X11 host.
#include "platform/linux/linux_host.hpp"
#include "platform/wayland/host_wayland.hpp"
#include "platform/wayland/wayland_probe.hpp"
#include "platform/x11/host_x11.hpp"

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

int main()
{
    zarvo::lnx::mapLargePicturesApart();
    using zarvo::wl::DisplayChoice;
    const auto text = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value != nullptr ? value : "");
    };
    const zarvo::wl::DisplayEnvironment env{text("DISPLAY"), text("WAYLAND_DISPLAY")};
    // The probe's connection, when the window opens on Wayland: the window runs on it.
    std::shared_ptr<wl_display> wayland;
    const DisplayChoice choice = zarvo::wl::chooseDisplay(env, [&wayland] {
        zarvo::wl::WaylandProbe found = zarvo::wl::probeWayland();
        wayland = found.connection;
        return found;
    });
    switch (choice.kind) {
    case DisplayChoice::Kind::wayland: return zarvo::wl::run(std::move(wayland));
    case DisplayChoice::Kind::x11: return zarvo::x11::run();
    case DisplayChoice::Kind::none: break;
    }
    zarvo::lnx::report(choice.message);
    return 1;
}
