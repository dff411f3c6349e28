// The Linux host's translation of SDL events into the core's values, and its copy of the picture into
// SDL surfaces of different pixel formats. Needs no display: events and surfaces are made in memory.
#include "platform/x11/host_sdl.hpp"
#include "platform/x11/input_sdl.hpp"

#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace zarvo::sdl {
namespace {

SDL_Event keyDown(SDL_Keycode key, Uint16 mod)
{
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    return e;
}

SDL_Event buttonEvent(Uint32 type, Uint8 button, Sint32 x, Sint32 y)
{
    SDL_Event e{};
    e.type = type;
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    return e;
}

SDL_Event windowEvent(Uint8 what)
{
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = what;
    return e;
}

TEST(SdlInput, EscapeEndsTheProgramWhateverTheModifiers)
{
    for (const Uint16 mod : {KMOD_NONE, KMOD_LSHIFT, KMOD_RCTRL, KMOD_LALT, KMOD_CAPS, KMOD_GUI}) {
        const HostEvent in = translate(keyDown(SDLK_ESCAPE, mod), 0);
        ASSERT_EQ(in.kind, HostEvent::Kind::keyDown);
        EXPECT_EQ(in.keyCode, 27);
        App app;
        EXPECT_EQ(app.keyDown(in.keyCode, in.modifiers), KeyOutcome::endProgram);
    }
    // Other keys reach the program with their own codes, and it keeps running.
    for (const SDL_Keycode key : {SDLK_a, SDLK_q, SDLK_SPACE, SDLK_RETURN, SDLK_F4, SDLK_BACKSPACE, SDLK_UNKNOWN}) {
        const HostEvent in = translate(keyDown(key, KMOD_LALT), 0);
        App app;
        EXPECT_EQ(app.keyDown(in.keyCode, in.modifiers), KeyOutcome::keepRunning) << key;
    }
}

TEST(SdlInput, KeysBecomeVirtualKeyCodes)
{
    EXPECT_EQ(virtualKey(SDLK_a), 'A');
    EXPECT_EQ(virtualKey(SDLK_z), 'Z');
    EXPECT_EQ(virtualKey(SDLK_0), '0');
    EXPECT_EQ(virtualKey(SDLK_9), '9');
    EXPECT_EQ(virtualKey(SDLK_F1), 0x70);
    EXPECT_EQ(virtualKey(SDLK_F12), 0x7B);
    EXPECT_EQ(virtualKey(SDLK_KP_0), 0x60);
    EXPECT_EQ(virtualKey(SDLK_KP_9), 0x69);
    EXPECT_EQ(virtualKey(SDLK_LEFT), 0x25);
    EXPECT_EQ(virtualKey(SDLK_DOWN), 0x28);
    EXPECT_EQ(virtualKey(SDLK_RSHIFT), 0x10);
    EXPECT_EQ(virtualKey(SDLK_DELETE), 0x2E);
    // Keys without a code, and SDL's codes that coincide with Escape's character value in another range.
    EXPECT_EQ(virtualKey(SDLK_AUDIOPLAY), 0);
    EXPECT_EQ(virtualKey(SDLK_UNKNOWN), 0);
    EXPECT_NE(virtualKey(SDL_SCANCODE_TO_KEYCODE(27)), 27);
}

TEST(SdlInput, ModifiersAreShiftCtrlAltOnly)
{
    EXPECT_EQ(modifiers(KMOD_NONE), 0);
    EXPECT_EQ(modifiers(KMOD_LSHIFT), 1);
    EXPECT_EQ(modifiers(KMOD_RSHIFT), 1);
    EXPECT_EQ(modifiers(KMOD_LCTRL), 2);
    EXPECT_EQ(modifiers(KMOD_RCTRL), 2);
    EXPECT_EQ(modifiers(KMOD_LALT), 4);
    EXPECT_EQ(modifiers(KMOD_RALT), 4);
    EXPECT_EQ(modifiers(KMOD_LSHIFT | KMOD_RSHIFT | KMOD_LCTRL | KMOD_RALT), 7);
    // Lock keys, AltGr and the logo keys are not modifiers: Shift with Caps Lock on is still Shift alone.
    EXPECT_EQ(modifiers(KMOD_CAPS | KMOD_NUM | KMOD_SCROLL | KMOD_MODE | KMOD_GUI), 0);
    EXPECT_EQ(modifiers(KMOD_LSHIFT | KMOD_CAPS | KMOD_NUM), 1);
}

TEST(SdlInput, MouseButtonsCarryTheKeyboardsModifiersAndPosition)
{
    HostEvent in = translate(buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 12, 34), KMOD_LSHIFT | KMOD_NUM);
    ASSERT_EQ(in.kind, HostEvent::Kind::mouseDown);
    EXPECT_EQ(in.button, PointerButton::left);
    EXPECT_EQ(in.modifiers, 1);
    EXPECT_EQ(in.x, 12.0F);
    EXPECT_EQ(in.y, 34.0F);

    EXPECT_EQ(translate(buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 0, 0), KMOD_LCTRL).button,
              PointerButton::right);
    EXPECT_EQ(translate(buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 0, 0), KMOD_LCTRL).modifiers, 2);
    EXPECT_EQ(translate(buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 0, 0), 0).button, PointerButton::middle);
    EXPECT_EQ(translate(buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X1, 0, 0), 0).button, PointerButton::other);
    EXPECT_EQ(translate(buttonEvent(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X2, 0, 0), 0).button, PointerButton::other);
    // SDL's middle button is 2 and its right button 3; the chain's are 4 and 2.
    EXPECT_EQ(buttonCode(pointerButton(SDL_BUTTON_MIDDLE)), 4);
    EXPECT_EQ(buttonCode(pointerButton(SDL_BUTTON_RIGHT)), 2);

    // A release is not a press.
    EXPECT_EQ(translate(buttonEvent(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 1, 1), 0).kind, HostEvent::Kind::none);
}

TEST(SdlInput, WindowEventsAndTheRest)
{
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_EQ(translate(quit, 0).kind, HostEvent::Kind::quit);
    EXPECT_EQ(translate(windowEvent(SDL_WINDOWEVENT_CLOSE), 0).kind, HostEvent::Kind::quit);
    EXPECT_EQ(translate(windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED), 0).kind, HostEvent::Kind::resized);
    EXPECT_EQ(translate(windowEvent(SDL_WINDOWEVENT_EXPOSED), 0).kind, HostEvent::Kind::exposed);
    EXPECT_EQ(translate(windowEvent(SDL_WINDOWEVENT_RESTORED), 0).kind, HostEvent::Kind::exposed);
    EXPECT_EQ(translate(windowEvent(SDL_WINDOWEVENT_FOCUS_LOST), 0).kind, HostEvent::Kind::none);
    EXPECT_EQ(translate(windowEvent(SDL_WINDOWEVENT_MOVED), 0).kind, HostEvent::Kind::none);

    SDL_Event other{};
    other.type = SDL_KEYUP;
    other.key.keysym.sym = SDLK_ESCAPE;
    EXPECT_EQ(translate(other, 0).kind, HostEvent::Kind::none);
    other.type = SDL_MOUSEWHEEL;
    EXPECT_EQ(translate(other, 0).kind, HostEvent::Kind::none);
    other.type = SDL_MOUSEMOTION;
    EXPECT_EQ(translate(other, 0).kind, HostEvent::Kind::none);
}

struct FreeSurface {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, FreeSurface>;

SurfacePtr surfaceOf(int w, int h, Uint32 format)
{
    SurfacePtr s(SDL_CreateRGBSurfaceWithFormat(0, w, h, 0, format));
    if (s) {
        SDL_FillRect(s.get(), nullptr, SDL_MapRGB(s->format, 9, 9, 9));
    }
    return s;
}

SDL_Color pixelAt(const SDL_Surface& s, int x, int y)
{
    const auto* p = static_cast<const Uint8*>(s.pixels) + static_cast<std::ptrdiff_t>(y) * s.pitch +
                    static_cast<std::ptrdiff_t>(x) * s.format->BytesPerPixel;
    Uint32 value = 0;
    switch (s.format->BytesPerPixel) {
    case 2: value = *reinterpret_cast<const Uint16*>(p); break;
    case 4: value = *reinterpret_cast<const Uint32*>(p); break;
    default: ADD_FAILURE() << "unexpected pixel size"; break;
    }
    SDL_Color c{};
    SDL_GetRGB(value, s.format, &c.r, &c.g, &c.b);
    return c;
}

TEST(SdlPresent, CopiesOnlyTheRegionWithTheRightChannels)
{
    Framebuffer picture(20, 10);
    picture.setPixel(3.0F, 2.0F, rgb(255, 0, 0));  // red, as the chain's colour value 0x0000FF
    picture.setPixel(4.0F, 2.0F, rgb(0, 0, 255));
    picture.setPixel(5.0F, 3.0F, rgb(10, 200, 30));
    picture.setPixel(0.0F, 0.0F, rgb(255, 255, 255));  // outside the region copied below

    for (const Uint32 format : {SDL_PIXELFORMAT_XRGB8888, SDL_PIXELFORMAT_ARGB8888, SDL_PIXELFORMAT_XBGR8888}) {
        const SurfacePtr s = surfaceOf(20, 10, format);
        ASSERT_TRUE(s) << SDL_GetError();
        copyToSurface(picture, Rect{2, 1, 6, 4}, *s);
        const SDL_Color red = pixelAt(*s, 3, 2);
        const SDL_Color blue = pixelAt(*s, 4, 2);
        const SDL_Color mixed = pixelAt(*s, 5, 3);
        EXPECT_EQ(red.r, 255);
        EXPECT_EQ(red.b, 0);
        EXPECT_EQ(blue.r, 0);
        EXPECT_EQ(blue.b, 255);
        EXPECT_EQ(mixed.r, 10);
        EXPECT_EQ(mixed.g, 200);
        EXPECT_EQ(mixed.b, 30);
        EXPECT_EQ(pixelAt(*s, 2, 1).r, 0) << "inside the region: the picture's black";
        EXPECT_EQ(pixelAt(*s, 0, 0).r, 9) << "outside the region: untouched";
        EXPECT_EQ(pixelAt(*s, 8, 2).r, 9) << "right of the region: untouched";
    }
    // A 16-bit screen: the colour arrives with the precision it has.
    const SurfacePtr s16 = surfaceOf(20, 10, SDL_PIXELFORMAT_RGB565);
    ASSERT_TRUE(s16) << SDL_GetError();
    copyToSurface(picture, Rect{0, 0, 20, 10}, *s16);
    EXPECT_GE(pixelAt(*s16, 3, 2).r, 248);
    EXPECT_EQ(pixelAt(*s16, 3, 2).b, 0);
    EXPECT_GE(pixelAt(*s16, 5, 3).g, 196);
}

TEST(SdlPresent, AScreenSdlCannotConvertToIsARunTimeErrorThatSaysWhy)
{
    // A screen with a palette (an 8-bit X visual): SDL converts to no indexed format. The copy must not
    // pass for done; it raises the run-time error that the host reports before it ends the program.
    const Framebuffer picture(4, 4);
    const SurfacePtr s = surfaceOf(4, 4, SDL_PIXELFORMAT_INDEX8);
    ASSERT_TRUE(s) << SDL_GetError();
    const std::string prefix = "SDL_ConvertPixels failed: ";
    try {
        copyToSurface(picture, Rect{0, 0, 4, 4}, *s);
        ADD_FAILURE() << "the copy into an indexed surface reported no failure";
    } catch (const RuntimeError& e) {
        const std::string what = e.what();
        EXPECT_EQ(what.rfind(prefix, 0), 0U) << what;
        EXPECT_GT(what.size(), prefix.size()) << "SDL's reason is missing";
    }
}

}  // namespace
}  // namespace zarvo::sdl
