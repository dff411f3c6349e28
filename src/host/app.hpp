// What every host drives: the picture, the generator, the chain and its tick schedule in one object, with
// one call per platform event. A host translates its events into these calls and presents the damage.
#pragma once

#include "core/framebuffer.hpp"
#include "core/frm.hpp"
#include "core/runtime.hpp"
#include "host/input.hpp"
#include "host/tick_schedule.hpp"

#include <cstdint>

namespace zarvo {

// The initial client area of the window.
inline constexpr int kInitialWidth = 503;
inline constexpr int kInitialHeight = 380;
inline constexpr const char* kCaption = "Zarvo1";

class App {
public:
    explicit App(Colour background = 0) : picture(0, 0, background), frm(picture, random) {}
    // The chain paints into this object's picture and draws from its generator: a copy would share them.
    App(const App&) = delete;
    App& operator=(const App&) = delete;
    App(App&&) = delete;
    App& operator=(App&&) = delete;
    ~App() = default;

    // Window shown or resized: the picture keeps what overlaps and the chain resets. A host calls this for
    // the first show and for every change of size.
    void resized(int width, int height)
    {
        picture.resize(width, height);
        frm.onResize();
    }
    // The timer: runs the tick if it is due and reports whether it ran.
    bool tickIfDue(TickSchedule::TimePoint now)
    {
        if (!schedule.due(now)) {
            return false;
        }
        frm.onTick();
        schedule.ticked(now);
        return true;
    }
    void mouseDown(PointerButton button, std::int16_t modifiers, float x, float y)
    {
        frm.onMouseDown(buttonCode(button), modifiers, x, y);
    }
    [[nodiscard]] KeyOutcome keyDown(std::int16_t keyCode, std::int16_t modifiers)
    {
        return frm.onKeyDown(keyCode, modifiers);
    }

    Framebuffer picture;
    Generator random;
    Frm frm;
    TickSchedule schedule;
};

}  // namespace zarvo
