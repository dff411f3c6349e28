// One platform event as the shared host layer acts on it: what a host's translation of its platform's
// events produces, and what Session::handle takes.
#pragma once

#include "host/input.hpp"

#include <cstdint>

namespace zarvo {

struct HostEvent {
    enum class Kind {
        none,        // nothing for the program: key releases, mouse moves, the wheel and the rest
        quit,        // the window was closed
        resized,     // the client area measures width x height now
        exposed,     // the window's pixels need showing again (uncovered, restored, shown)
        visibility,  // visible: whether anyone can see the window now (not minimised, unmapped or covered)
        tick,        // the timer: the tick runs if it is due
        mouseDown,   // button, modifiers, x, y
        keyDown      // keyCode, modifiers
    };
    Kind kind = Kind::none;
    PointerButton button = PointerButton::other;
    std::int16_t modifiers = 0;
    std::int16_t keyCode = 0;
    float x = 0.0F;
    float y = 0.0F;
    int width = 0;
    int height = 0;
    bool visible = true;
};

}  // namespace zarvo
