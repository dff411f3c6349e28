// The Wayland presentation: two XRGB8888 buffers in one memfd pool, written alternately as the compositor
// releases them, each receiving the regions it missed since it was last written.
#include "platform/wayland/wayland_present.hpp"

#include "core/runtime.hpp"
#include "platform/linux/byte_order.hpp"
#include "platform/linux/linux_host.hpp"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "viewporter-client-protocol.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace zarvo::wl {

namespace {

// Enough for the usual few rectangles of a tick many times over; a scatter over a large window collapses.
constexpr std::size_t kRegionCapacity = 256;
constexpr int kWordBytes = 4;
// How often a commit asks whether the compositor still shows the window.
constexpr auto kFrameProbeInterval = std::chrono::seconds(1);

std::string errnoText(const char* call)
{
    return std::string(call) + " failed: " + std::strerror(errno);
}

void bufferReleased(void* data, wl_buffer* /*buffer*/)
{
    *static_cast<bool*>(data) = false;
}

const wl_buffer_listener kBufferListener{bufferReleased};

}  // namespace

RegionList::RegionList(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1))
{
    rects_.reserve(capacity_);
}

void RegionList::add(Rect r)
{
    if (r.w <= 0 || r.h <= 0) {
        return;
    }
    if (rects_.size() == capacity_) {
        int x0 = r.x;
        int y0 = r.y;
        int x1 = r.x + r.w;
        int y1 = r.y + r.h;
        for (const Rect& q : rects_) {
            x0 = std::min(x0, q.x);
            y0 = std::min(y0, q.y);
            x1 = std::max(x1, q.x + q.w);
            y1 = std::max(y1, q.y + q.h);
        }
        rects_.clear();
        r = Rect{x0, y0, x1 - x0, y1 - y0};
    }
    rects_.push_back(r);
}

WaylandPresent::WaylandPresent(wl_display* display, wl_shm* shm, wl_surface* surface, wp_viewport* viewport)
    : display_(display),
      shm_(shm),
      surface_(surface),
      damageBuffer_(wl_proxy_get_version(reinterpret_cast<wl_proxy*>(surface)) >=
                    WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION),
      buffers_{Buffer{.stale = RegionList(kRegionCapacity)}, Buffer{.stale = RegionList(kRegionCapacity)}},
      uncommitted_(kRegionCapacity),
      viewport_(viewport)
{}

WaylandPresent::~WaylandPresent()
{
    releaseStorage();
    if (frame_ != nullptr) {
        wl_callback_destroy(frame_);
    }
}

void WaylandPresent::releaseStorage()
{
    for (Buffer& b : buffers_) {
        if (b.buffer != nullptr) {
            // A buffer the compositor still holds may be destroyed as long as its pixels are left alone;
            // they are unmapped here and never written again.
            wl_buffer_destroy(b.buffer);
        }
        b.buffer = nullptr;
        b.pixels = nullptr;
        b.busy = false;
        b.stale.clear();
    }
    if (pool_ != nullptr) {
        wl_shm_pool_destroy(pool_);
        pool_ = nullptr;
    }
    if (map_ != nullptr) {
        munmap(map_, mapBytes_);
        map_ = nullptr;
        mapBytes_ = 0;
    }
    width_ = 0;
    height_ = 0;
}

wl_shm_pool* createPool(wl_shm* shm, const char* name, std::size_t bytes, void*& map)
{
    const int fd = memfd_create(name, MFD_CLOEXEC);
    if (fd < 0) {
        raiseRuntimeError(errnoText("memfd_create"));
    }
    if (ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
        const std::string reason = errnoText("ftruncate");
        close(fd);
        raiseRuntimeError(reason);
    }
    map = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) {
        const std::string reason = errnoText("mmap");
        close(fd);
        raiseRuntimeError(reason);
    }
    // The request takes a copy of the descriptor, so this one can go at once.
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(bytes));
    close(fd);
    return pool;
}

// Two buffers of the picture's size side by side in one pool, both needing the whole picture.
void WaylandPresent::allocate(int width, int height)
{
    releaseStorage();
    if (width <= 0 || height <= 0) {
        return;
    }
    const auto stride = static_cast<std::size_t>(width) * kWordBytes;
    const std::size_t bufferBytes = stride * static_cast<std::size_t>(height);
    if (bufferBytes > static_cast<std::size_t>(INT32_MAX) / 2) {
        raiseRuntimeError("the window is too large for a Wayland shared-memory buffer");
    }
    const std::size_t total = 2 * bufferBytes;
    void* map = nullptr;
    pool_ = createPool(shm_, "zarvo1-picture", total, map);
    map_ = map;
    mapBytes_ = total;
    width_ = width;
    height_ = height;
    const Rect all{0, 0, width, height};
    for (std::size_t i = 0; i < buffers_.size(); ++i) {
        Buffer& b = buffers_[i];
        b.buffer = wl_shm_pool_create_buffer(pool_, static_cast<std::int32_t>(i * bufferBytes), width, height,
                                             static_cast<std::int32_t>(stride), WL_SHM_FORMAT_XRGB8888);
        b.pixels = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(map_) + i * bufferBytes);
        wl_buffer_add_listener(b.buffer, &kBufferListener, &b.busy);
        b.stale.add(all);
    }
    uncommitted_.clear();
    uncommitted_.add(all);
}

WaylandPresent::Buffer* WaylandPresent::freeBuffer()
{
    for (Buffer& b : buffers_) {
        if (!b.busy) {
            return &b;
        }
    }
    return nullptr;
}

const wl_callback_listener WaylandPresent::kFrameListener{WaylandPresent::frameDone};

void WaylandPresent::frameDone(void* data, wl_callback* callback, std::uint32_t /*time*/)
{
    auto& self = *static_cast<WaylandPresent*>(data);
    wl_callback_destroy(callback);
    self.frame_ = nullptr;
    self.frameShown_ = true;
    self.answeredAt_ = Clock::now();
}

std::optional<WaylandPresent::Clock::time_point> WaylandPresent::frameAwaitedSince() const
{
    return frame_ != nullptr ? std::optional(committedAt_) : std::nullopt;
}

void WaylandPresent::present(const Framebuffer& picture, std::span<const Rect> regions)
{
    picture_ = &picture;
    if (picture.width() != width_ || picture.height() != height_ || map_ == nullptr) {
        allocate(picture.width(), picture.height());
    }
    if (map_ == nullptr) {
        return;  // a picture of no pixels: there is no buffer of that size to show
    }
    for (const Rect& r : regions) {
        for (Buffer& b : buffers_) {
            b.stale.add(r);
        }
        uncommitted_.add(r);
    }
    if (frame_ != nullptr || uncommitted_.regions().empty()) {
        return;  // a frame asked about is not shown yet, or nothing changed: the regions wait
    }
    Buffer* b = freeBuffer();
    if (b == nullptr) {
        return;  // both buffers are still the compositor's: the regions wait for the next present
    }
    const std::uint32_t* from = picture.pixels();
    for (const Rect& r : b->stale.regions()) {
        for (int y = r.y; y < r.y + r.h; ++y) {
            const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(y) * width_ + r.x;
            std::memcpy(b->pixels + offset, from + offset, static_cast<std::size_t>(r.w) * kWordBytes);
            lnx::toByteOrder({b->pixels + offset, static_cast<std::size_t>(r.w)}, true);  // wl_shm: little-endian
        }
    }
    b->stale.clear();
    if (scale_ != committedScale_) {
        wl_surface_set_buffer_scale(surface_, scale_);
        committedScale_ = scale_;
    }
    if (viewport_ != nullptr && destination_ != committedDestination_ && destination_.first > 0 &&
        destination_.second > 0) {
        wp_viewport_set_destination(viewport_, destination_.first, destination_.second);
        committedDestination_ = destination_;
    }
    wl_surface_attach(surface_, b->buffer, 0, 0);
    for (const Rect& r : uncommitted_.regions()) {
        if (damageBuffer_) {
            wl_surface_damage_buffer(surface_, r.x, r.y, r.w, r.h);
        } else {
            wl_surface_damage(surface_, r.x, r.y, r.w, r.h);
        }
    }
    uncommitted_.clear();
    const Clock::time_point now = Clock::now();
    if (now - answeredAt_ >= kFrameProbeInterval) {
        frame_ = wl_surface_frame(surface_);
        wl_callback_add_listener(frame_, &kFrameListener, this);
        committedAt_ = now;
    }
    wl_surface_commit(surface_);
    committedWidth_ = width_;
    committedHeight_ = height_;
    b->busy = true;
    // Hands the requests to the compositor without waiting for an answer. A full socket (EAGAIN) is left
    // for the host's next flush; any other failure is a broken connection.
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
        endOnBrokenConnection(display_);
    }
}

void endOnBrokenConnection(wl_display* display)
{
    const char* name = std::getenv("WAYLAND_DISPLAY");
    if (name == nullptr || *name == '\0') {
        name = "wayland-0";
    }
    const int error = wl_display_get_error(display);
    if (error == EPROTO) {
        const wl_interface* interface = nullptr;
        std::uint32_t id = 0;
        const std::uint32_t code = wl_display_get_protocol_error(display, &interface, &id);
        lnx::fail(std::string("the Wayland compositor ") + name + " refused a request: error " + std::to_string(code) +
                  " on " + (interface != nullptr ? interface->name : "an unknown object"));
    }
    lnx::fail(std::string("lost the connection to the Wayland compositor ") + name + " (" +
              std::strerror(error != 0 ? error : EPIPE) + ")");
}

}  // namespace zarvo::wl
