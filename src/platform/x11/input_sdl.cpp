// The Linux host's translation of SDL's events into the shared layer's events.
#include "platform/x11/input_sdl.hpp"

#include <SDL.h>

namespace zarvo::sdl {

std::int16_t virtualKey(std::int32_t sdlKey)
{
    // Letters and digits: SDL uses the lowercase character, the virtual key code the uppercase one.
    if (sdlKey >= SDLK_a && sdlKey <= SDLK_z) {
        return static_cast<std::int16_t>(sdlKey - SDLK_a + 'A');
    }
    if (sdlKey >= SDLK_0 && sdlKey <= SDLK_9) {
        return static_cast<std::int16_t>(sdlKey);
    }
    if (sdlKey >= SDLK_F1 && sdlKey <= SDLK_F12) {
        return static_cast<std::int16_t>(0x70 + (sdlKey - SDLK_F1));
    }
    if (sdlKey >= SDLK_KP_1 && sdlKey <= SDLK_KP_9) {
        return static_cast<std::int16_t>(0x61 + (sdlKey - SDLK_KP_1));
    }
    switch (sdlKey) {
    case SDLK_ESCAPE: return kEscape;
    case SDLK_BACKSPACE: return 0x08;
    case SDLK_TAB: return 0x09;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return 0x0D;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return 0x10;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return 0x11;
    case SDLK_LALT:
    case SDLK_RALT: return 0x12;
    case SDLK_PAUSE: return 0x13;
    case SDLK_CAPSLOCK: return 0x14;
    case SDLK_SPACE: return 0x20;
    case SDLK_PAGEUP: return 0x21;
    case SDLK_PAGEDOWN: return 0x22;
    case SDLK_END: return 0x23;
    case SDLK_HOME: return 0x24;
    case SDLK_LEFT: return 0x25;
    case SDLK_UP: return 0x26;
    case SDLK_RIGHT: return 0x27;
    case SDLK_DOWN: return 0x28;
    case SDLK_INSERT: return 0x2D;
    case SDLK_DELETE: return 0x2E;
    case SDLK_KP_0: return 0x60;
    case SDLK_KP_MULTIPLY: return 0x6A;
    case SDLK_KP_PLUS: return 0x6B;
    case SDLK_KP_MINUS: return 0x6D;
    case SDLK_KP_PERIOD: return 0x6E;
    case SDLK_KP_DIVIDE: return 0x6F;
    case SDLK_NUMLOCKCLEAR: return 0x90;
    case SDLK_SCROLLLOCK: return 0x91;
    default: return 0;
    }
}

PointerButton pointerButton(std::uint8_t sdlButton)
{
    switch (sdlButton) {
    case SDL_BUTTON_LEFT: return PointerButton::left;
    case SDL_BUTTON_RIGHT: return PointerButton::right;
    case SDL_BUTTON_MIDDLE: return PointerButton::middle;
    default: return PointerButton::other;
    }
}

std::int16_t modifiers(std::uint16_t sdlKeymod)
{
    return modifierBits((sdlKeymod & KMOD_SHIFT) != 0, (sdlKeymod & KMOD_CTRL) != 0, (sdlKeymod & KMOD_ALT) != 0);
}

HostEvent translate(const SDL_Event& event, std::uint16_t sdlKeymod)
{
    HostEvent in;
    switch (event.type) {
    case SDL_QUIT: in.kind = HostEvent::Kind::quit; break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE: in.kind = HostEvent::Kind::quit; break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            in.kind = HostEvent::Kind::resized;
            in.width = event.window.data1;
            in.height = event.window.data2;
            break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED: in.kind = HostEvent::Kind::exposed; break;
        default: break;
        }
        break;
    case SDL_MOUSEBUTTONDOWN:
        in.kind = HostEvent::Kind::mouseDown;
        in.button = pointerButton(event.button.button);
        in.modifiers = modifiers(sdlKeymod);
        in.x = static_cast<float>(event.button.x);
        in.y = static_cast<float>(event.button.y);
        break;
    case SDL_KEYDOWN:
        in.kind = HostEvent::Kind::keyDown;
        in.keyCode = virtualKey(event.key.keysym.sym);
        in.modifiers = modifiers(event.key.keysym.mod);
        break;
    default: break;
    }
    return in;
}

}  // namespace zarvo::sdl
