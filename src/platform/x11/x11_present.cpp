// The X11 picture: MIT-SHM images through xcb-shm, plain images where memory cannot be shared.
#include "platform/x11/x11_present.hpp"

#include "core/runtime.hpp"
#include "platform/linux/byte_order.hpp"

#include <sys/mman.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/shm.h>

#include <algorithm>
#include <bit>
#include <new>

namespace zarvo::x11 {

namespace {

constexpr std::size_t kWordBytes = 4;
constexpr auto u16 = [](int v) { return static_cast<std::uint16_t>(v); };

}  // namespace

X11Present::X11Present(xcb_connection_t* connection, xcb_window_t window, const xcb_screen_t& screen,
                       xcb_visualid_t visual, std::uint8_t depth)
    : c_(connection),
      window_(window),
      depth_(depth),
      lsbFirst_(xcb_get_setup(connection)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST),
      gc_(xcb_generate_id(connection))
{
    bool trueColour = false;
    for (auto d = xcb_screen_allowed_depths_iterator(&screen); d.rem != 0; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem != 0 && d.data->depth == depth;
             xcb_visualtype_next(&v)) {
            const xcb_visualtype_t& t = *v.data;
            trueColour = trueColour || (t.visual_id == visual && t._class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                                        t.red_mask == 0xFF0000U && t.green_mask == 0xFF00U && t.blue_mask == 0xFFU);
        }
    }
    if (!trueColour || (depth != 24 && depth != 32)) {
        raiseRuntimeError("the window's pixels (depth " + std::to_string(depth) +
                          ") are not the 24- or 32-bit true colour the picture is drawn in");
    }
    xcb_create_gc(c_, gc_, window_, 0, nullptr);
    if (lsbFirst_ != (std::endian::native == std::endian::little)) {
        return;  // the words are swapped on their way, so the picture's own memory cannot be shared
    }
    // Memory is shared only with a server on this machine: one reached through a local socket.
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    getsockname(xcb_get_file_descriptor(c_), reinterpret_cast<sockaddr*>(&address), &length);
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(c_, &xcb_shm_id);
    if (shm == nullptr || shm->present == 0 || address.ss_family != AF_UNIX) {
        return;
    }
    const Owned<xcb_shm_query_version_reply_t> version{
        xcb_shm_query_version_reply(c_, xcb_shm_query_version(c_), nullptr), std::free};
    if (version) {
        const bool fds = version->major_version * 100 + version->minor_version >= 102;  // 1.2 takes descriptors
        sharing_ = fds ? Sharing::memfd : Sharing::systemV;
    }
}

void X11Present::present(const Framebuffer& picture, std::span<const Rect> regions)
{
    const auto image =
        std::find_if(images_.begin(), images_.end(), [&](const Image& i) { return i.pixels == picture.pixels(); });
    for (const Rect& r : regions) {
        if (image == images_.end()) {
            putPlain(picture, r);
        } else {
            xcb_shm_put_image(c_, window_, gc_, u16(picture.width()), u16(picture.height()), u16(r.x), u16(r.y),
                              u16(r.w), u16(r.h), static_cast<std::int16_t>(r.x), static_cast<std::int16_t>(r.y),
                              depth_, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, image->segment, 0);
        }
    }
}

// A plain put sends its rows in the request: as many whole rows of the rectangle as the largest request holds.
void X11Present::putPlain(const Framebuffer& picture, Rect r)
{
    // The largest request in 4-byte units (more with BIG-REQUESTS), less the put's own 28 bytes.
    const std::size_t room = xcb_get_maximum_request_length(c_) * kWordBytes - 32;
    const int rowsPerPut = static_cast<int>(std::max<std::size_t>(1, room / (u16(r.w) * kWordBytes)));
    for (int y = r.y; y < r.y + r.h; y += rowsPerPut) {
        const int rows = std::min(rowsPerPut, r.y + r.h - y);
        rows_.resize(static_cast<std::size_t>(r.w) * static_cast<std::size_t>(rows));
        for (int row = 0; row < rows; ++row) {
            const std::uint32_t* from = picture.pixels() + static_cast<std::ptrdiff_t>(y + row) * picture.width() + r.x;
            std::copy(from, from + r.w, rows_.begin() + static_cast<std::ptrdiff_t>(row) * r.w);
        }
        lnx::toByteOrder(rows_, lsbFirst_);
        xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_, u16(r.w), u16(rows), static_cast<std::int16_t>(r.x),
                      static_cast<std::int16_t>(y), 0, depth_, static_cast<std::uint32_t>(rows_.size() * kWordBytes),
                      reinterpret_cast<const std::uint8_t*>(rows_.data()));
    }
}

std::uint32_t* X11Present::allocate(int width, int height)
{
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * kWordBytes;
    if (sharing_ == Sharing::none) {
        return new std::uint32_t[bytes / kWordBytes];
    }
    images_.reserve(images_.size() + 1);  // before the memory exists, so nothing fails after it
    Image image{nullptr, xcb_generate_id(c_), sharing_};
    void* address = MAP_FAILED;
    xcb_void_cookie_t attached{};
    int id = -1;
    if (sharing_ == Sharing::memfd) {
        const int fd = memfd_create("zarvo1-picture", MFD_CLOEXEC);
        if (fd >= 0 && ftruncate(fd, static_cast<off_t>(bytes)) == 0) {
            address = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        }
        if (address == MAP_FAILED) {
            close(fd);
            throw std::bad_alloc();
        }
        attached = xcb_shm_attach_fd_checked(c_, image.segment, fd, 1);  // xcb closes the descriptor once sent
    } else {
        id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        address = id < 0 ? MAP_FAILED : shmat(id, nullptr, 0);
        if (address == MAP_FAILED) {
            shmctl(id, IPC_RMID, nullptr);
            throw std::bad_alloc();
        }
        attached = xcb_shm_attach_checked(c_, image.segment, static_cast<std::uint32_t>(id), 1);
    }
    image.pixels = static_cast<std::uint32_t*>(address);
    images_.push_back(image);
    const Owned<xcb_generic_error_t> refused{xcb_request_check(c_, attached), std::free};
    shmctl(id, IPC_RMID, nullptr);  // a System V segment goes with the last side that lets go of it
    if (!refused) {
        return image.pixels;
    }
    // The server cannot reach this memory (another machine after all): plain images from now on.
    images_.back().segment = 0;
    release(image.pixels, width, height);
    sharing_ = Sharing::none;
    return new std::uint32_t[bytes / kWordBytes];
}

void X11Present::release(std::uint32_t* pixels, int width, int height) noexcept
{
    const auto image = std::find_if(images_.begin(), images_.end(), [&](const Image& i) { return i.pixels == pixels; });
    if (image == images_.end()) {
        delete[] pixels;
        return;
    }
    if (image->segment != 0) {
        xcb_shm_detach(c_, image->segment);  // after every put from it, on the same connection
    }
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * kWordBytes;
    image->kind == Sharing::systemV ? shmdt(image->pixels) : munmap(image->pixels, bytes);
    images_.erase(image);
}

}  // namespace zarvo::x11
