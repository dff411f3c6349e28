// Presentation on Wayland without OpenGL: the picture goes into two shared-memory buffers (wl_shm) on the
// window's surface; only the changed regions are copied and damaged, and a buffer is written again only
// once the compositor has released it. About once a second a commit asks for a frame callback, and no
// picture is committed until the compositor has answered it (shown that frame): a compositor answers only
// while the window can be seen, so one unanswered says it is out of sight, and nothing is sent meanwhile;
// the changes gather. A callback with every commit would wake the program once more per tick for nothing.
// Nothing here waits for the compositor.
#pragma once

#include "host/present_sink.hpp"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

struct wl_buffer;
struct wl_callback;
struct wl_callback_listener;
struct wl_display;
struct wl_shm;
struct wl_shm_pool;
struct wl_surface;
struct wp_viewport;

namespace zarvo::wl {

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

// Reports a failed connection to the compositor (it stopped, closed the connection or refused a request)
// in one line and ends the process with status 1 at once, as a lost X server does: no destructor runs and
// nothing more is asked of the compositor.
[[noreturn]] void endOnBrokenConnection(wl_display* display);

// A pool of `bytes` of fresh shared memory (a memfd of that name) for the compositor, mapped here at `map`;
// raises a runtime error when the system refuses it.
wl_shm_pool* createPool(wl_shm* shm, const char* name, std::size_t bytes, void*& map);

class WaylandPresent final : public PresentSink {
public:
    using Clock = std::chrono::steady_clock;

    // The surface is the window's (version 4 or later takes damage in buffer coordinates); the buffers come
    // from the host's shared-memory global, and their release events and the frame callbacks are dispatched
    // with the host's other events. The viewport is the surface's where the window follows the compositor's
    // fractional scale, null elsewhere.
    WaylandPresent(wl_display* display, wl_shm* shm, wl_surface* surface, wp_viewport* viewport = nullptr);
    ~WaylandPresent() override;
    WaylandPresent(const WaylandPresent&) = delete;
    WaylandPresent& operator=(const WaylandPresent&) = delete;
    WaylandPresent(WaylandPresent&&) = delete;
    WaylandPresent& operator=(WaylandPresent&&) = delete;

    void present(const Framebuffer& picture, std::span<const Rect> regions) override;
    // Commits what gathered while the last frame was on its way, once it has been shown: the regions of the
    // picture last presented.
    void presentGathered()
    {
        if (picture_ != nullptr) {
            present(*picture_, {});
        }
    }

    // The picture's pixels per unit of the surface (wl_surface.set_buffer_scale), from the next commit on.
    void setScale(int scale) { scale_ = scale; }
    // With the viewport: the size in the desktop's units the picture is shown at, from the next commit on
    // (the picture itself has a pixel per device pixel, buffer scale 1).
    void setDestination(int width, int height) { destination_ = {width, height}; }

    // A commit whose frame callback the compositor has not answered yet: since when, or nullopt when none.
    std::optional<Clock::time_point> frameAwaitedSince() const;
    // Whether a frame callback came since the last call: the compositor showed the window.
    bool takeFrameShown() { return std::exchange(frameShown_, false); }

    // Whether the last buffer committed has that size: only then may the window's surface be committed
    // again without a picture (after a configure the next commit must carry the new size).
    bool shows(int width, int height) const { return committedWidth_ == width && committedHeight_ == height; }

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
    static void frameDone(void* data, wl_callback* callback, std::uint32_t time);
    static const wl_callback_listener kFrameListener;

    wl_display* display_;
    wl_shm* shm_;
    wl_surface* surface_;        // the window's, where the picture is shown
    bool damageBuffer_ = false;  // our surface takes damage in buffer coordinates (wl_surface version 4)
    int width_ = 0;
    int height_ = 0;
    wl_shm_pool* pool_ = nullptr;
    void* map_ = nullptr;
    std::size_t mapBytes_ = 0;
    std::array<Buffer, 2> buffers_;
    RegionList uncommitted_;  // damage the compositor has not been told of yet
    int committedWidth_ = 0;
    int committedHeight_ = 0;
    int scale_ = 1;                          // asked for
    int committedScale_ = 1;                 // told to the compositor
    wp_viewport* viewport_;                  // null without the fractional scale
    std::pair<int, int> destination_{0, 0};  // asked for
    std::pair<int, int> committedDestination_{0, 0};
    wl_callback* frame_ = nullptr;     // a commit's frame callback, until it comes
    Clock::time_point committedAt_{};  // of that commit
    Clock::time_point answeredAt_{};   // when the last callback came
    bool frameShown_ = false;
    const Framebuffer* picture_ = nullptr;  // the last one presented; the session's, which outlives this
};

}  // namespace zarvo::wl
