// The window's frame on sub-surfaces: each drawing gets one small pool with a buffer per piece; a buffer is
// destroyed when the compositor releases it (it has taken the next one), the pool's memory with the last.
#include "platform/wayland/window_frame.hpp"

#include "platform/linux/byte_order.hpp"
#include "platform/wayland/wayland_present.hpp"

#include <sys/mman.h>
#include <wayland-client.h>

#include "viewporter-client-protocol.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace zarvo::wl {

namespace {

constexpr int kWordBytes = 4;

// One drawing of the frame: the mapping its buffers share, and how many of them are still alive.
struct Drawing {
    void* map = nullptr;
    std::size_t bytes = 0;
    int alive = 0;
};

void forget(Drawing* drawing)
{
    if (--drawing->alive == 0) {
        munmap(drawing->map, drawing->bytes);
        delete drawing;  // NOLINT(cppcoreguidelines-owning-memory): owned by its buffers, shared through C
    }
}

void bufferReleased(void* data, wl_buffer* buffer)
{
    wl_buffer_destroy(buffer);
    forget(static_cast<Drawing*>(data));
}

const wl_buffer_listener kFrameBufferListener{bufferReleased};

}  // namespace

WindowFrame::WindowFrame(wl_compositor* compositor, wl_subcompositor* subcompositor, wl_shm* shm,
                         wp_viewporter* viewporter, wl_surface* window, std::string caption)
    : shm_(shm), caption_(std::move(caption))
{
    for (Piece& piece : pieces_) {
        piece.surface = wl_compositor_create_surface(compositor);
        if (viewporter != nullptr) {
            piece.viewport = wp_viewporter_get_viewport(viewporter, piece.surface);
        }
        piece.sub = wl_subcompositor_get_subsurface(subcompositor, piece.surface, window);
        // Behind the picture, and shown together with the window's own commits.
        wl_subsurface_place_below(piece.sub, window);
        wl_subsurface_set_sync(piece.sub);
    }
}

WindowFrame::~WindowFrame()
{
    for (Piece& piece : pieces_) {
        if (piece.viewport != nullptr) {
            wp_viewport_destroy(piece.viewport);
        }
        wl_subsurface_destroy(piece.sub);
        wl_surface_destroy(piece.surface);
    }
}

bool WindowFrame::show(const FrameGeometry& geometry, const FrameLook& look)
{
    if (shown_ && geometry == geometry_) {
        return restyle(look);
    }
    geometry_ = geometry;
    look_ = look;
    shown_ = true;
    draw(0, FrameGeometry::kPieces);
    return true;
}

bool WindowFrame::restyle(const FrameLook& look)
{
    if (!shown_ || look == look_) {
        return false;
    }
    look_ = look;
    // The bands round the window are shadow alone, the same in every look.
    constexpr int kTitleBar = static_cast<int>(FrameGeometry::Piece::top);
    draw(kTitleBar, kTitleBar + 1);
    return true;
}

bool WindowFrame::hide()
{
    if (!shown_) {
        return false;
    }
    shown_ = false;
    for (Piece& piece : pieces_) {
        wl_surface_attach(piece.surface, nullptr, 0, 0);
        wl_surface_commit(piece.surface);
    }
    return true;
}

std::optional<std::array<int, 2>> WindowFrame::offsetOf(const wl_surface* surface) const
{
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
        if (pieces_[i].surface == surface) {
            const Rect r = geometry_.piece(static_cast<FrameGeometry::Piece>(i));
            return std::array<int, 2>{r.x, r.y};
        }
    }
    return std::nullopt;
}

void WindowFrame::draw(int first, int end)
{
    // Each piece's buffer has its rectangle's size in device pixels.
    const Scale scale = geometry_.scale;
    const auto devicePixels = [scale](Rect r) {
        return static_cast<std::size_t>(scale.device(r.w)) * static_cast<std::size_t>(scale.device(r.h));
    };
    std::size_t bytes = 0;
    for (int i = first; i < end; ++i) {
        bytes += devicePixels(geometry_.piece(static_cast<FrameGeometry::Piece>(i))) * kWordBytes;
    }
    void* map = nullptr;
    wl_shm_pool* pool = createPool(shm_, "zarvo1-frame", bytes, map);
    auto* drawing = new Drawing{map, bytes, 1};  // NOLINT(cppcoreguidelines-owning-memory): see forget()
    std::size_t offset = 0;
    for (int i = first; i < end; ++i) {
        const auto which = static_cast<FrameGeometry::Piece>(i);
        const Rect r = geometry_.piece(which);
        Piece& piece = pieces_[static_cast<std::size_t>(i)];
        wl_subsurface_set_position(piece.sub, r.x, r.y);
        const int w = scale.device(r.w);
        const int h = scale.device(r.h);
        if (w <= 0 || h <= 0) {
            if (piece.viewport != nullptr) {
                wp_viewport_set_destination(piece.viewport, -1, -1);
            }
            wl_surface_attach(piece.surface, nullptr, 0, 0);
            wl_surface_commit(piece.surface);
            continue;
        }
        const std::size_t count = devicePixels(r);
        auto* pixels = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(map) + offset);
        drawPiece({pixels, count}, geometry_, which, look_, caption_);
        lnx::toByteOrder({pixels, count}, true);  // wl_shm's formats are little-endian
        wl_buffer* buffer = wl_shm_pool_create_buffer(pool, static_cast<std::int32_t>(offset), w, h, w * kWordBytes,
                                                      WL_SHM_FORMAT_ARGB8888);
        ++drawing->alive;
        wl_buffer_add_listener(buffer, &kFrameBufferListener, drawing);
        offset += count * kWordBytes;
        if (piece.viewport != nullptr) {
            wp_viewport_set_destination(piece.viewport, r.w, r.h);  // buffer scale 1: a pixel a device pixel
        } else {
            wl_surface_set_buffer_scale(piece.surface, scale.wholeAbove());
        }
        wl_surface_attach(piece.surface, buffer, 0, 0);
        wl_surface_damage(piece.surface, 0, 0, r.w, r.h);
        wl_surface_commit(piece.surface);
    }
    // The buffers keep the pool's memory; the pool itself is not needed again.
    wl_shm_pool_destroy(pool);
    forget(drawing);  // the reference this function held
}

}  // namespace zarvo::wl
