// The program's entry in a web page: the functions the page's script (src/platform/web/page.js) calls, one
// per event, on the one host of the page. The calls that take an event return the milliseconds until the
// next tick, or -1 once the program has stopped.
#include "platform/web/host_web.hpp"

#include <emscripten/emscripten.h>

#include <cstdint>

namespace {

zarvo::web::Host& host()
{
    static zarvo::web::Host theHost;
    return theHost;
}

// The modifier keys as the page passes them: 1 Shift, 2 Ctrl, 4 Alt.
bool has(int keys, int bit)
{
    return (keys & bit) != 0;
}

static_assert(sizeof(zarvo::Rect) == 4 * sizeof(std::int32_t), "the page reads regions as four 32-bit integers");

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int zarvo1_start(int width, int height)
{
    return host().start(width, height);
}

EMSCRIPTEN_KEEPALIVE int zarvo1_resize(int width, int height)
{
    return host().resize(width, height);
}

EMSCRIPTEN_KEEPALIVE int zarvo1_pointer(int button, int keys, double x, double y)
{
    return host().pointer(zarvo::web::pointerDown(button, has(keys, 1), has(keys, 2), has(keys, 4), x, y));
}

EMSCRIPTEN_KEEPALIVE int zarvo1_key(int keyCode, int keys)
{
    return host().key(zarvo::web::keyDown(keyCode, has(keys, 1), has(keys, 2), has(keys, 4)));
}

EMSCRIPTEN_KEEPALIVE int zarvo1_visibility(int visible)
{
    return host().visibility(visible != 0);
}

EMSCRIPTEN_KEEPALIVE int zarvo1_tick()
{
    return host().tick();
}

// Why the program stopped, in one line; empty while it runs.
EMSCRIPTEN_KEEPALIVE const char* zarvo1_message()
{
    return host().message().c_str();
}

EMSCRIPTEN_KEEPALIVE std::uint32_t zarvo1_ticks()
{
    return host().ticks();
}

// The canvas's copy: RGBA bytes of rgba_width x rgba_height, and the regions the last call changed, each
// four integers (x, y, width, height).
EMSCRIPTEN_KEEPALIVE const std::uint8_t* zarvo1_rgba()
{
    return host().sink().bytes();
}
EMSCRIPTEN_KEEPALIVE int zarvo1_rgba_width()
{
    return host().sink().width();
}
EMSCRIPTEN_KEEPALIVE int zarvo1_rgba_height()
{
    return host().sink().height();
}
EMSCRIPTEN_KEEPALIVE const zarvo::Rect* zarvo1_regions()
{
    return host().sink().regions().data();
}
EMSCRIPTEN_KEEPALIVE int zarvo1_region_count()
{
    return static_cast<int>(host().sink().regions().size());
}

// The picture itself, for the page's test surface: width x height words 0x00RRGGBB.
EMSCRIPTEN_KEEPALIVE const std::uint32_t* zarvo1_pixels()
{
    return host().picture().pixels();
}
EMSCRIPTEN_KEEPALIVE int zarvo1_width()
{
    return host().picture().width();
}
EMSCRIPTEN_KEEPALIVE int zarvo1_height()
{
    return host().picture().height();
}

}  // extern "C"
