// The program's entry on Linux: everything happens in the SDL host.
#include "window/hosts/sdl/host_sdl.hpp"

int main()
{
    return zarvo::sdl::run();
}
