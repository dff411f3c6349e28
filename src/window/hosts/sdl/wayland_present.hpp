// Presentation on Wayland without OpenGL: the picture goes into two shared-memory buffers (wl_shm) on a
// surface of our own laid over the one SDL made for the window; only the changed regions are copied and
// damaged, and a buffer is written again only once the compositor has released it. Nothing here waits for
// the compositor.
#pragma once

#include "window/hosts/present_sink.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct wl_buffer;
struct wl_compositor;
struct wl_display;
struct wl_event_queue;
struct wl_shm;
struct wl_shm_pool;
struct wl_subcompositor;
struct wl_subsurface;
struct wl_surface;

namespace zarvo::sdl {

// Regions still to be brought somewhere (a buffer, or the compositor's damage). Its capacity is fixed at
// construction: when it is full, the regions collapse into the one rectangle around them all, so keeping
// it never allocates.
class RegionList {
public:
    explicit RegionList(std::size_t capacity);

    void add(Rect r);
    void clear() { rects_.clear(); }
    std::span<const Rect> regions() const { return rects_; }

private:
    std::vector<Rect> rects_;
    std::size_t capacity_;
};

class WaylandPresent final : public PresentSink {
public:
    // The display and surface are SDL's. SDL damages its whole surface after every frame it is told of, so
    // the picture goes to a subsurface of our own at (0, 0) that takes no input (clicks fall through to
    // SDL's surface), and SDL's surface carries only a black backdrop, committed at a change of size.
    // The globals are bound on an event queue of our own (one round trip on that queue, here and never
    // again), so SDL's event handling never sees their events.
    WaylandPresent(wl_display* display, wl_surface* windowSurface);
    ~WaylandPresent() override;
    WaylandPresent(const WaylandPresent&) = delete;
    WaylandPresent& operator=(const WaylandPresent&) = delete;
    WaylandPresent(WaylandPresent&&) = delete;
    WaylandPresent& operator=(WaylandPresent&&) = delete;

    void present(const Framebuffer& picture, std::span<const Rect> regions) override;

    // Something about the window changed (focus, size, state): the title bar may have been redrawn. Its
    // pieces are subsurfaces of SDL's surface and show only with a commit of that surface, which the next
    // present makes. It also makes one every 20 presents, for changes no event tells of (a button under
    // the pointer). Each such commit costs the compositor a repaint of the whole window, as SDL then
    // damages all of its surface; the picture's own commits do not.
    void windowChanged() { windowChanged_ = true; }

    // When the connection to the compositor has failed (it stopped, closed the connection or refused a
    // request), reports it in one line and ends the process with status 1, as a lost X server does.
    void checkConnection() const;

private:
    struct Buffer {
        wl_buffer* buffer = nullptr;
        std::uint32_t* pixels = nullptr;
        bool busy = false;  // attached and not yet released by the compositor
        RegionList stale;   // what changed in the picture since this buffer was last written
    };

    void allocate(int width, int height);
    void releaseStorage();
    Buffer* freeBuffer();
    void readReleases();

    wl_display* display_;
    wl_surface* window_;  // SDL's
    wl_event_queue* queue_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_subcompositor* subcompositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    wl_surface* surface_ = nullptr;  // ours, where the picture is shown
    wl_subsurface* subsurface_ = nullptr;
    bool damageBuffer_ = false;  // our surface takes damage in buffer coordinates (wl_surface version 4)
    int width_ = 0;
    int height_ = 0;
    wl_shm_pool* pool_ = nullptr;
    void* map_ = nullptr;
    std::size_t mapBytes_ = 0;
    std::array<Buffer, 2> buffers_;
    wl_buffer* backdrop_ = nullptr;  // black, of the picture's size, on SDL's surface
    bool backdropShown_ = false;
    bool windowChanged_ = false;
    int presentsSinceWindowCommit_ = 0;
    RegionList uncommitted_;  // damage the compositor has not been told of yet
};

}  // namespace zarvo::sdl
