// How a host turns the size reports of its window into resets: the first report and every change of size
// reset the chain, and a repeated report of the same size changes nothing.
#pragma once

#include "host/app.hpp"

#include <cmath>

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
    // The client area now measures width x height. Returns true when the chain was reset: the picture may
    // then have a new size or new contents, so the host presents all of it again.
    bool report(App& app, int width, int height)
    {
        if (known_ && width == width_ && height == height_) {
            return false;
        }
        known_ = true;
        width_ = width;
        height_ = height;
        app.resized(width, height);
        return true;
    }

    bool known() const { return known_; }

private:
    bool known_ = false;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace zarvo
