// The seat: the pointer and its image, the keyboard and its keymap.
#include "platform/wayland/wayland_seat.hpp"

#include "core/runtime.hpp"
#include "platform/linux/linux_keys.hpp"
#include "platform/wayland/input_wayland.hpp"
#include "platform/wayland/pointer_glue.hpp"
#include "platform/wayland/wayland_window.hpp"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-cursor.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace zarvo::wl {

struct SeatEvents {
    static Seat& of(void* data) { return *static_cast<Seat*>(data); }

    // ---- the pointer ----

    static void pointerEnter(void* data, wl_pointer* /*pointer*/, std::uint32_t serial, wl_surface* surface,
                             wl_fixed_t x, wl_fixed_t y)
    {
        Seat& seat = of(data);
        seat.pointerSurface_ = surface;
        seat.pointerSerial_ = serial;
        seat.cursorShown_ = nullptr;  // the compositor forgets the image when the pointer leaves
        seat.trackPointer(static_cast<float>(wl_fixed_to_double(x)), static_cast<float>(wl_fixed_to_double(y)));
    }

    static void pointerLeave(void* data, wl_pointer* /*pointer*/, std::uint32_t /*serial*/, wl_surface* /*surface*/)
    {
        Seat& seat = of(data);
        seat.pointerSurface_ = nullptr;
        FrameLook look = seat.window_.frameLook();
        look.hovered = look.pressed = FramePart::outside;
        seat.window_.restyleFrame(look);
    }

    static void pointerMotion(void* data, wl_pointer* /*pointer*/, std::uint32_t /*time*/, wl_fixed_t x, wl_fixed_t y)
    {
        of(data).trackPointer(static_cast<float>(wl_fixed_to_double(x)), static_cast<float>(wl_fixed_to_double(y)));
    }

    static void pointerButton(void* data, wl_pointer* /*pointer*/, std::uint32_t serial, std::uint32_t time,
                              std::uint32_t button, std::uint32_t state)
    {
        of(data).button(serial, time, button, state == WL_POINTER_BUTTON_STATE_PRESSED);
    }

    static void pointerAxis(void* /*data*/, wl_pointer* /*pointer*/, std::uint32_t /*time*/, std::uint32_t /*axis*/,
                            wl_fixed_t /*value*/)
    {}
    static void pointerFrame(void* /*data*/, wl_pointer* /*pointer*/) {}
    static void pointerAxisSource(void* /*data*/, wl_pointer* /*pointer*/, std::uint32_t /*source*/) {}
    static void pointerAxisStop(void* /*data*/, wl_pointer* /*pointer*/, std::uint32_t /*time*/, std::uint32_t /*axis*/)
    {}
    static void pointerAxisDiscrete(void* /*data*/, wl_pointer* /*pointer*/, std::uint32_t /*axis*/,
                                    std::int32_t /*discrete*/)
    {}
    static void pointerAxisValue120(void* /*data*/, wl_pointer* /*pointer*/, std::uint32_t /*axis*/,
                                    std::int32_t /*value*/)
    {}

    // ---- the keyboard ----

    static void keyboardKeymap(void* data, wl_keyboard* /*keyboard*/, std::uint32_t format, std::int32_t fd,
                               std::uint32_t size)
    {
        Seat& seat = of(data);
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
            void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (text != MAP_FAILED) {
                xkb_keymap* keymap = xkb_keymap_new_from_buffer(seat.xkb_, static_cast<const char*>(text), size - 1,
                                                                XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
                munmap(text, size);
                if (keymap != nullptr) {
                    xkb_state_unref(seat.keys_);
                    xkb_keymap_unref(seat.keymap_);
                    seat.keymap_ = keymap;
                    seat.keys_ = xkb_state_new(keymap);
                }
            }
        }
        close(fd);
    }

    static void keyboardEnter(void* /*data*/, wl_keyboard* /*keyboard*/, std::uint32_t /*serial*/,
                              wl_surface* /*surface*/, wl_array* /*keys*/)
    {}

    // Without the focus the modifiers are not known: a click then counts without them.
    static void keyboardLeave(void* data, wl_keyboard* /*keyboard*/, std::uint32_t /*serial*/, wl_surface* /*surface*/)
    {
        of(data).modifiers_ = 0;
    }

    static void keyboardKey(void* data, wl_keyboard* /*keyboard*/, std::uint32_t /*serial*/, std::uint32_t /*time*/,
                            std::uint32_t key, std::uint32_t state)
    {
        Seat& seat = of(data);
        if (state != WL_KEYBOARD_KEY_STATE_PRESSED || seat.keys_ == nullptr) {
            return;
        }
        constexpr std::uint32_t kEvdevToXkb = 8;  // xkb's key codes are the kernel's plus 8
        seat.relay_.deliver({.kind = HostEvent::Kind::keyDown,
                             .modifiers = seat.modifiers_,
                             .keyCode = lnx::virtualKey(xkb_state_key_get_one_sym(seat.keys_, key + kEvdevToXkb))});
    }

    static void keyboardModifiers(void* data, wl_keyboard* /*keyboard*/, std::uint32_t /*serial*/,
                                  std::uint32_t depressed, std::uint32_t latched, std::uint32_t locked,
                                  std::uint32_t group)
    {
        Seat& seat = of(data);
        if (seat.keys_ == nullptr) {
            return;
        }
        xkb_state_update_mask(seat.keys_, depressed, latched, locked, 0, 0, group);
        seat.modifiers_ = modifiers([&seat](const char* name) {
            return xkb_state_mod_name_is_active(seat.keys_, name, XKB_STATE_MODS_EFFECTIVE) > 0;
        });
    }

    static void keyboardRepeat(void* /*data*/, wl_keyboard* /*keyboard*/, std::int32_t /*rate*/, std::int32_t /*delay*/)
    {}

    // ---- the seat ----

    static void capabilities(void* data, wl_seat* wlSeat, std::uint32_t capabilities)
    {
        Seat& seat = of(data);
        const bool pointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
        const bool keyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
        if (pointer && seat.pointer_ == nullptr) {
            seat.pointer_ = wl_seat_get_pointer(wlSeat);
            wl_pointer_add_listener(seat.pointer_, &kPointer, &seat);
        } else if (!pointer && seat.pointer_ != nullptr) {
            wl_pointer_destroy(seat.pointer_);
            seat.pointer_ = nullptr;
            seat.pointerSurface_ = nullptr;
        }
        if (keyboard && seat.keyboard_ == nullptr) {
            seat.keyboard_ = wl_seat_get_keyboard(wlSeat);
            wl_keyboard_add_listener(seat.keyboard_, &kKeyboard, &seat);
        } else if (!keyboard && seat.keyboard_ != nullptr) {
            wl_keyboard_destroy(seat.keyboard_);
            seat.keyboard_ = nullptr;
            seat.modifiers_ = 0;
        }
    }

    static void name(void* /*data*/, wl_seat* /*seat*/, const char* /*name*/) {}

    static constexpr wl_pointer_listener kPointer{
        pointerEnter, pointerLeave,      pointerMotion,   pointerButton,       pointerAxis,
        pointerFrame, pointerAxisSource, pointerAxisStop, pointerAxisDiscrete, pointerAxisValue120};
    static constexpr wl_keyboard_listener kKeyboard{keyboardKeymap, keyboardEnter,     keyboardLeave,
                                                    keyboardKey,    keyboardModifiers, keyboardRepeat};
    static constexpr wl_seat_listener kSeat{capabilities, name};
};

Seat::Seat(Relay& relay, const Globals& globals, Window& window)
    : relay_(relay), globals_(globals), window_(window), xkb_(xkb_context_new(XKB_CONTEXT_NO_FLAGS))
{
    if (xkb_ == nullptr) {
        raiseRuntimeError("xkb_context_new failed");
    }
}

Seat::~Seat()
{
    release(cursorSurface_, wl_surface_destroy);
    release(cursorTheme_, wl_cursor_theme_destroy);
    release(pointer_, wl_pointer_destroy);
    release(keyboard_, wl_keyboard_destroy);
    release(seat_, wl_seat_destroy);
    xkb_state_unref(keys_);
    xkb_keymap_unref(keymap_);
    xkb_context_unref(xkb_);
}

void Seat::bind(wl_registry* registry, std::uint32_t name, std::uint32_t version)
{
    // Version 5 at most: the pointer's events up to that version are all listened to.
    seat_ = static_cast<wl_seat*>(
        wl_registry_bind(registry, name, &wl_seat_interface, std::min<std::uint32_t>(version, 5)));
    wl_seat_add_listener(seat_, &SeatEvents::kSeat, this);
}

void Seat::setScale(int scale)
{
    scale_ = scale;
    release(cursorTheme_, wl_cursor_theme_destroy);
    cursorTheme_ = nullptr;
    cursorTried_ = false;
    cursorShown_ = nullptr;
}

// The pointer's image for a part of the window, from the user's cursor theme (XCURSOR_THEME, XCURSOR_SIZE)
// or libwayland-cursor's own, loaded (all of its images, 0.5 MB for the usual one) the first time the
// pointer comes over the window. Without one the pointer keeps whatever shape it had; a theme without the
// image leaves it so.
void Seat::showCursor(FramePart part)
{
    const char* name = cursorName(part);
    if (pointer_ == nullptr || (cursorShown_ != nullptr && std::strcmp(cursorShown_, name) == 0)) {
        return;
    }
    if (!cursorTried_) {
        cursorTried_ = true;
        constexpr int kDefaultSize = 24;
        const char* sizeText = std::getenv("XCURSOR_SIZE");
        const int asked = sizeText != nullptr ? std::atoi(sizeText) : 0;
        const int size = (asked > 0 ? asked : kDefaultSize) * scale_;
        cursorTheme_ = wl_cursor_theme_load(std::getenv("XCURSOR_THEME"), size, globals_.shm);
        if (cursorSurface_ == nullptr) {
            cursorSurface_ = wl_compositor_create_surface(globals_.compositor);
        }
    }
    if (cursorTheme_ == nullptr) {
        return;
    }
    wl_cursor* cursor = wl_cursor_theme_get_cursor(cursorTheme_, name);
    if (cursor == nullptr) {
        cursor = wl_cursor_theme_get_cursor(cursorTheme_, "left_ptr");
    }
    wl_buffer* image =
        cursor != nullptr && cursor->image_count > 0 ? wl_cursor_image_get_buffer(cursor->images[0]) : nullptr;
    if (image == nullptr) {
        return;
    }
    const wl_cursor_image* shape = cursor->images[0];
    // Images at the window's scale; one whose size it does not divide is shown as it is.
    const auto divides = [this](std::uint32_t length) { return length % static_cast<std::uint32_t>(scale_) == 0; };
    const int scale = divides(shape->width) && divides(shape->height) ? scale_ : 1;
    wl_surface_set_buffer_scale(cursorSurface_, scale);
    wl_surface_attach(cursorSurface_, image, 0, 0);
    wl_surface_damage(cursorSurface_, 0, 0, static_cast<std::int32_t>(shape->width),
                      static_cast<std::int32_t>(shape->height));
    wl_surface_commit(cursorSurface_);
    wl_pointer_set_cursor(pointer_, pointerSerial_, cursorSurface_, static_cast<std::int32_t>(shape->hotspot_x) / scale,
                          static_cast<std::int32_t>(shape->hotspot_y) / scale);
    cursorShown_ = name;
}

FramePart Seat::partUnderPointer() const
{
    const WindowFrame* frame = window_.shownFrame();
    const PointerOver over = pointerOver(pointerSurface_, window_.surface(), frame != nullptr);
    return wl::partUnderPointer(over, frame != nullptr ? frame->geometry() : FrameGeometry{}, pointerX_, pointerY_);
}

// The frame's look follows the pointer: a button lights up under it.
void Seat::trackPointer(float x, float y)
{
    const std::array<int, 2> offset = window_.offsetOf(pointerSurface_);
    pointerX_ = x + static_cast<float>(offset[0]);
    pointerY_ = y + static_cast<float>(offset[1]);
    const FramePart part = partUnderPointer();
    showCursor(part);
    FrameLook look = window_.frameLook();
    look.hovered = isButton(part) ? part : FramePart::outside;
    window_.restyleFrame(look);
}

// A press on the picture is the shared layer's; a press or release on the frame is the frame's to answer.
void Seat::button(std::uint32_t serial, std::uint32_t time, std::uint32_t code, bool pressed)
{
    const PointerOver over = pointerOver(pointerSurface_, window_.surface(), window_.shownFrame() != nullptr);
    if (over == PointerOver::picture) {
        if (pressed) {
            relay_.deliver(pictureClick(code, modifiers_, pointerX_, pointerY_, window_.scale()));
        }
        return;
    }
    if (over == PointerOver::nothing) {
        return;
    }
    const FramePart part = partUnderPointer();
    FrameLook look = window_.frameLook();
    const FrameRequest request = pressed ? frameClicks_.press(part, frameButton(code), time, look)
                                         : frameClicks_.release(part, frameButton(code), look);
    window_.request(request, part, seat_, serial, pointerX_, pointerY_);
    window_.restyleFrame(look);
}

}  // namespace zarvo::wl
