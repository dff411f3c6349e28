// The chain of 21 points and its handlers: reset (on every resize), the 50 ms tick, and the mouse and key
// actions. The state object of the program; a host owns one and calls its handlers one event at a time.
#pragma once

#include "core/input_codes.hpp"
#include "core/runtime.hpp"
#include "core/surface.hpp"

#include <array>
#include <cstdint>

namespace zarvo {

inline constexpr int kPoints = 21;         // the head (0) and 20 followers
inline constexpr int kPassesPerTick = 6;   // one tick: six passes of paint-then-move
inline constexpr float kTurnBound = 0.1F;  // |turn| never exceeds the float nearest 0.1

// What a key press asks of the host.
enum class KeyOutcome { keepRunning, endProgram };

class Frm {
public:
    Frm(Surface& surface, RandomSource& random) : surface_(surface), random_(random) {}
    // A chain holds its surface and its generator by reference: a copy would paint on the same ones.
    Frm(const Frm&) = delete;
    Frm& operator=(const Frm&) = delete;
    Frm(Frm&&) = delete;
    Frm& operator=(Frm&&) = delete;
    ~Frm() = default;

    // Scatters all 21 points at random over the surface, x before y, point 0 first.
    void scatter();
    // The reset: reseeds from the time of day, scatters, draws a heading and a follow factor, and makes
    // the target black. Keeps turn; clears nothing.
    void resetChain();
    void onResize() { resetChain(); }
    // Six passes of paint-then-move over all points, then the target colour drifts.
    void onTick();
    // Left scatters, right scatters and wipes, Shift alone picks a new colour, every click a new follow.
    void onMouseDown(std::int16_t button, std::int16_t modifiers, float x, float y);
    // Escape, whatever the modifiers, asks the host to end the program at once; other keys do nothing.
    [[nodiscard]] KeyOutcome onKeyDown(std::int16_t keyCode, std::int16_t modifiers);

    // The state, zero at creation, in the order the window object holds it.
    float follow = 0.0F;
    std::array<float, kPoints> segX{};
    std::array<float, kPoints> segY{};
    float heading = 0.0F;
    float turn = 0.0F;
    std::int16_t seg = 0;
    std::int16_t pass = 0;
    std::int16_t tgtR = 0;
    std::int16_t tgtG = 0;
    std::int16_t tgtB = 0;

private:
    float u() { return random_.next(); }
    void drawFollow();

    Surface& surface_;
    RandomSource& random_;
};

}  // namespace zarvo
