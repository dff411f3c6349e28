// The one thing a host writes to show the picture: a sink that copies regions of it to the window.
#pragma once

#include "core/framebuffer.hpp"

#include <span>

namespace zarvo {

// Where a host's picture goes: copies the given regions of the picture to the window and hands them
// to the display without waiting for it. Regions lie inside the picture.
class PresentSink {
public:
    virtual ~PresentSink() = default;
    virtual void present(const Framebuffer& picture, std::span<const Rect> regions) = 0;
};

}  // namespace zarvo
