// A drawing surface for tests that records every pixel read and write in order, over a framebuffer.
#pragma once

#include "core/framebuffer.hpp"

#include <vector>

namespace zarvo::testing {

struct Access {
    char kind;  // 'r' read, 'w' write, 'c' clear
    float x;
    float y;
};

class RecordingSurface final : public Surface {
public:
    RecordingSurface(int width, int height) : inner(width, height) {}
    float surfaceWidth() const override { return inner.surfaceWidth(); }
    float surfaceHeight() const override { return inner.surfaceHeight(); }
    Colour readPixel(float x, float y) override
    {
        log.push_back({'r', x, y});
        return inner.readPixel(x, y);
    }
    void setPixel(float x, float y, Colour colour) override
    {
        log.push_back({'w', x, y});
        inner.setPixel(x, y, colour);
    }
    void clearSurface() override
    {
        log.push_back({'c', 0.0F, 0.0F});
        inner.clearSurface();
    }

    Framebuffer inner;
    std::vector<Access> log;
};

}  // namespace zarvo::testing
