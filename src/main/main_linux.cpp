// The program's entry on Linux: the Wayland host where a usable compositor is named, otherwise the SDL host
// (X11), loaded from its module only then.
#include "platform/wayland/host_wayland.hpp"
#include "platform/wayland/wayland_probe.hpp"
#include "platform/x11/host_sdl.hpp"

#include <dlfcn.h>
#include <unistd.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The SDL host's module: where it is installed relative to the program (ZARVO1_SDL_MODULE), or beside the
// program in the build tree. Returns its status, or 1 with one line when it cannot be loaded.
int runSdl(bool x11)
{
    std::array<char, 4096> self{};
    const ssize_t length = readlink("/proc/self/exe", self.data(), self.size() - 1);
    std::string dir = length > 0 ? std::string(self.data(), static_cast<std::size_t>(length)) : std::string();
    dir = dir.substr(0, dir.rfind('/') + 1);
    void* module = nullptr;
    std::string why;
    for (const std::string& path : {dir + ZARVO1_SDL_MODULE, dir + "zarvo1-sdl.so"}) {
        if (access(path.c_str(), F_OK) != 0) {
            continue;
        }
        module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* error = dlerror();
            why = error != nullptr ? error : path;
        }
        break;
    }
    if (module == nullptr) {
        std::fprintf(stderr, "zarvo1: cannot load the X11 window (%s)\n",
                     why.empty() ? (dir + ZARVO1_SDL_MODULE + " is missing").c_str() : why.c_str());
        return 1;
    }
    // The one way to take a function from a loaded module.
    auto* entry = reinterpret_cast<zarvo::sdl::ModuleEntry>(dlsym(module, zarvo::sdl::kModuleEntry));
    if (entry == nullptr) {
        std::fprintf(stderr, "zarvo1: cannot load the X11 window (%s has no %s)\n", dir.c_str(),
                     zarvo::sdl::kModuleEntry);
        return 1;
    }
    return entry(x11 ? 1 : 0);
}

}  // namespace

int main()
{
#if defined(__GLIBC__)
    // The picture is the one large allocation, and it follows the window's size. With a fixed threshold
    // every picture larger than 128 kB lives in a mapping of its own that goes back to the system when it
    // is freed. Left to itself the C library raises the threshold after freeing the first large picture,
    // and later ones come from the heap, where a freed picture can stay resident for the rest of the run.
    // The same for either host, so it is set once here.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
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
    case DisplayChoice::Kind::x11: return runSdl(true);
    case DisplayChoice::Kind::asAsked: break;
    }
    return runSdl(false);
}
