// What must hold after every event, whatever the events: the chain's state within its bounds and the picture
// holding only colours the painter can make. Shared by the soak test and the event fuzzer; each check returns
// a description of the first broken invariant, or an empty text when all hold.
#pragma once

#include "core/framebuffer.hpp"
#include "core/frm.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

namespace zarvo::testing {

class Invariants {
public:
    // The events that change what may be checked, recorded as the host delivers them.
    // Every resize (and the first show) resets the chain: a follow factor is drawn and the points are
    // scattered over the new size.
    void resized()
    {
        followDrawn_ = true;
        placed_ = true;
    }
    // Every click draws a follow factor; a left or right click scatters the points over the current size.
    void clicked(std::int16_t button)
    {
        followDrawn_ = true;
        placed_ = placed_ || button == kButtonLeft || button == kButtonRight;
    }

    // follow, turn, heading, the target colour and every point's position.
    [[nodiscard]] std::string checkChain(const Frm& frm, const Surface& surface) const
    {
        std::ostringstream out;
        if (followDrawn_ ? !(frm.follow >= 0.05F && frm.follow < 0.2F) : frm.follow != 0.0F) {
            out << "follow " << frm.follow << (followDrawn_ ? " outside [0.05, 0.2)" : " before any reset or click");
        } else if (!(std::abs(frm.turn) <= kTurnBound)) {
            out << "turn " << frm.turn << " beyond the bound";
        } else if (!std::isfinite(frm.heading)) {
            out << "heading " << frm.heading;
        } else if (!inColourRange(frm.tgtR) || !inColourRange(frm.tgtG) || !inColourRange(frm.tgtB)) {
            out << "target colour (" << frm.tgtR << ", " << frm.tgtG << ", " << frm.tgtB << ")";
        } else {
            const float width = surface.surfaceWidth();
            const float height = surface.surfaceHeight();
            for (std::size_t i = 0; i < frm.segX.size(); ++i) {
                const float x = frm.segX[i];
                const float y = frm.segY[i];
                const bool finite = std::isfinite(x) && std::isfinite(y);
                if (!finite || (placed_ && (!onAxis(x, width) || !onAxis(y, height)))) {
                    out << "point " << i << " at (" << x << ", " << y << ") on a " << width << " x " << height
                        << " surface";
                    break;
                }
            }
        }
        return out.str();
    }

    // The pixels changed since the last call (the picture's damage, which this takes as a host would): each
    // damaged region lies on the picture and holds only painter colours.
    [[nodiscard]] std::string checkChangedPixels(Framebuffer& picture) const
    {
        std::string failure;
        picture.takeDamage([&](const Rect& r) {
            if (!failure.empty()) {
                return;
            }
            if (r.w <= 0 || r.h <= 0 || r.x < 0 || r.y < 0 || r.x + r.w > picture.width() ||
                r.y + r.h > picture.height()) {
                std::ostringstream out;
                out << "damage (" << r.x << ", " << r.y << ", " << r.w << ", " << r.h << ") off the " << picture.width()
                    << " x " << picture.height() << " picture";
                failure = out.str();
                return;
            }
            failure = checkPixels(picture, r);
        });
        return failure;
    }

    // Every pixel of the picture, whatever its damage says.
    [[nodiscard]] static std::string checkAllPixels(const Framebuffer& picture)
    {
        return checkPixels(picture, Rect{0, 0, picture.width(), picture.height()});
    }

    // Counts the pixels that differ from the background.
    static long paintedPixels(const Framebuffer& picture)
    {
        const std::uint32_t background = Framebuffer::toWord(picture.background());
        const auto count = static_cast<std::size_t>(picture.width()) * static_cast<std::size_t>(picture.height());
        long painted = 0;
        for (std::size_t i = 0; i < count; ++i) {
            painted += picture.pixels()[i] != background ? 1 : 0;
        }
        return painted;
    }

private:
    static bool inColourRange(std::int16_t c) { return c >= 0 && c <= 255; }

    // Scattered points lie in [0, size); the clamps keep the head in [0, size - 1], and a follower only
    // closes on its predecessor. An axis of size 0 holds its points between -1 and 0.
    static bool onAxis(float v, float size)
    {
        return size == 0.0F ? (v >= -1.0F && v <= 0.0F) : (v >= 0.0F && v < size);
    }

    // A component c in 0..255 is a multiple of 5 exactly when c x 205 mod 256 is at most 51 (205 x 5 is 1 mod
    // 256): one multiplication per component and no branch, which keeps a scan of a whole picture quick.
    static bool allStepsOfFive(std::uint32_t word)
    {
        return ((word * 205U) & 0xFFU) <= 51U && (((word >> 8U) * 205U) & 0xFFU) <= 51U &&
               (((word >> 16U) * 205U) & 0xFFU) <= 51U;
    }

    // Starting from a background whose components are multiples of 5, a nudge steps a component by 5 and
    // clamps it to 0 or 255, so every component stays a multiple of 5. Another background proves nothing.
    static std::string checkPixels(const Framebuffer& picture, const Rect& r)
    {
        if (!allStepsOfFive(Framebuffer::toWord(picture.background()))) {
            return {};
        }
        const auto stride = static_cast<std::size_t>(picture.width());
        for (int y = r.y; y < r.y + r.h; ++y) {
            const std::uint32_t* row = picture.pixels() + static_cast<std::size_t>(y) * stride;
            bool good = true;
            for (int x = r.x; x < r.x + r.w; ++x) {
                good &= allStepsOfFive(row[x]);
            }
            if (good) {
                continue;
            }
            for (int x = r.x; x < r.x + r.w; ++x) {
                if (!allStepsOfFive(row[x])) {
                    std::ostringstream out;
                    out << "pixel (" << x << ", " << y << ") holds 0x" << std::hex << row[x]
                        << ", a component off the steps of 5";
                    return out.str();
                }
            }
        }
        return {};
    }

    bool followDrawn_ = false;
    bool placed_ = false;
};

}  // namespace zarvo::testing
