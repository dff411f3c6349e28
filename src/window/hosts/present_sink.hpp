// Where a host's picture goes: the interface a window system's presenter implements.
#pragma once

#include "window/framebuffer.hpp"

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
