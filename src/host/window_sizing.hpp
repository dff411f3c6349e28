// How a host turns the size reports of its window into resets: the first report and every change of size
// reset the chain, a repeated report of the same size changes nothing, and while the window is minimised
// (which some platforms report as a client area of 0 x 0) the picture is set aside and comes back with it.
#pragma once

#include "host/app.hpp"

#include <cmath>
#include <optional>
#include <utility>

namespace zarvo {

// The window's first client area in device pixels on a desktop whose scale is `scale` (its dots per inch
// over 96): the same size to the eye at every scale, 503 x 380 at 96 dpi.
struct ClientSize {
    int width = 0;
    int height = 0;
};
inline ClientSize initialClientSize(double scale)
{
    if (!(scale > 0.0) || !std::isfinite(scale)) {
        scale = 1.0;
    }
    return {static_cast<int>(std::lround(kInitialWidth * scale)),
            static_cast<int>(std::lround(kInitialHeight * scale))};
}

class WindowSizing {
public:
    // The client area now measures width x height; minimised says whether the window is shown as an icon.
    // Returns true when the chain was reset: the picture may then have a new size or new contents, so the
    // host presents all of it again.
    bool report(App& app, int width, int height, bool minimised)
    {
        if (known_ && width == width_ && height == height_ && minimised == minimised_) {
            return false;
        }
        if (minimised && !parked_) {
            // The surface is about to shrink, perhaps to nothing: keep the picture as it is now. While the
            // window is an icon the chain runs on the surface it is given and paints nothing visible.
            parked_.emplace(app.picture);
        } else if (!minimised && parked_) {
            // Back from the icon: the picture returns, with the background chosen meanwhile.
            const Colour background = app.picture.background();
            app.picture = std::move(*parked_);
            app.picture.setBackground(background);
            parked_.reset();
        }
        known_ = true;
        width_ = width;
        height_ = height;
        minimised_ = minimised;
        app.resized(width, height);
        return true;
    }

    bool known() const { return known_; }
    bool minimised() const { return minimised_; }

private:
    bool known_ = false;
    int width_ = 0;
    int height_ = 0;
    bool minimised_ = false;
    std::optional<Framebuffer> parked_;  // the picture while the window is minimised
};

}  // namespace zarvo
