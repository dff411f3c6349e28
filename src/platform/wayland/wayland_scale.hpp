// The window's scale on Wayland: device pixels per unit of the desktop, in 120ths as the fractional-scale
// protocol counts it (120 is 1, 180 is 1.5). A compositor without that protocol has whole scales alone, which
// the picture and the frame follow with a buffer scale; with it, the buffers are the size in units times
// the scale, rounded, and a viewport shows them at the size in units.
#pragma once

#include <cstdint>

namespace zarvo::wl {

class Scale {
public:
    static constexpr int kDenominator = 120;

    constexpr Scale() = default;
    static constexpr Scale whole(int factor) { return Scale(factor * kDenominator); }
    // As the compositor prefers it; nonsense (0 or less) counts as 1.
    static constexpr Scale fraction(std::uint32_t in120ths)
    {
        return Scale(in120ths > 0 && in120ths < 1000U * kDenominator ? static_cast<int>(in120ths) : kDenominator);
    }

    int in120ths() const { return n_; }
    bool isWhole() const { return n_ % kDenominator == 0; }
    // The smallest whole scale that is at least this one: for images that come in whole scales alone.
    int wholeAbove() const { return (n_ + kDenominator - 1) / kDenominator; }

    // A length or a place in units as device pixels, rounded half away from zero as the protocol rounds a
    // surface's size.
    int device(int units) const;
    // A place in units (the pointer's) as a place in device pixels, unrounded.
    double device(double units) const { return units * n_ / kDenominator; }

    friend bool operator==(Scale, Scale) = default;

private:
    constexpr explicit Scale(int in120ths) : n_(in120ths) {}

    int n_ = kDenominator;
};

}  // namespace zarvo::wl
