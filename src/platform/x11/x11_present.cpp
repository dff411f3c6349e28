// The X11 picture: MIT-SHM images through xcb-shm, plain images where memory cannot be shared.
#include "platform/x11/x11_present.hpp"

#include <sys/mman.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/shm.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <new>

namespace zarvo::x11 {

namespace {

constexpr std::size_t kWordBytes = 4;
// A shared put names the rectangle with 16-bit coordinates: no window is larger, a picture that is goes plain.
constexpr int kMaxSharedSide = 32767;

// Memory can be shared only with a server on this machine: one reached through a local socket.
bool local(int fd)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    return getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 && address.ss_family == AF_UNIX;
}

}  // namespace

std::string X11Present::unsuitable(const xcb_setup_t& setup, const xcb_screen_t& screen)
{
    const auto nativeOrder =
        std::endian::native == std::endian::little ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST;
    bool wordPerPixel = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(&setup); f.rem != 0; xcb_format_next(&f)) {
        wordPerPixel = wordPerPixel || (f.data->depth == screen.root_depth && f.data->bits_per_pixel == 32 &&
                                        f.data->scanline_pad <= 32);
    }
    const xcb_visualtype_t* visual = nullptr;
    for (auto d = xcb_screen_allowed_depths_iterator(&screen); d.rem != 0; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem != 0; xcb_visualtype_next(&v)) {
            visual = v.data->visual_id == screen.root_visual ? v.data : visual;
        }
    }
    if (visual == nullptr || visual->_class != XCB_VISUAL_CLASS_TRUE_COLOR || visual->red_mask != 0xFF0000U ||
        visual->green_mask != 0xFF00U || visual->blue_mask != 0xFFU || !wordPerPixel ||
        setup.image_byte_order != nativeOrder) {
        return "the screen (" + std::to_string(screen.root_depth) +
               " bits per pixel) is not one the window draws on: it needs 24-bit TrueColor";
    }
    return {};
}

X11Present::X11Present(xcb_connection_t* connection, xcb_window_t window, std::uint8_t depth)
    : c_(connection), window_(window), depth_(depth), gc_(xcb_generate_id(connection))
{
    xcb_create_gc(c_, gc_, window_, 0, nullptr);
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(c_, &xcb_shm_id);
    if (shm == nullptr || shm->present == 0 || !local(xcb_get_file_descriptor(c_))) {
        return;
    }
    if (xcb_shm_query_version_reply_t* version = xcb_shm_query_version_reply(c_, xcb_shm_query_version(c_), nullptr)) {
        const bool fds = version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 2);
        sharing_ = fds ? Sharing::memfd : Sharing::systemV;
        std::free(version);
    }
}

X11Present::~X11Present()
{
    while (!images_.empty()) {
        release(images_.back().pixels, 0, 0);
    }
    xcb_free_gc(c_, gc_);
}

void X11Present::present(const Framebuffer& picture, std::span<const Rect> regions)
{
    const auto image =
        std::find_if(images_.begin(), images_.end(), [&](const Image& i) { return i.pixels == picture.pixels(); });
    for (const Rect& r : regions) {
        if (image == images_.end() || image->segment == 0) {
            putPlain(picture, r);
            continue;
        }
        const auto side = [](int v) { return static_cast<std::uint16_t>(v); };
        const auto at = [](int v) { return static_cast<std::int16_t>(v); };
        xcb_shm_put_image(c_, window_, gc_, side(picture.width()), side(picture.height()), side(r.x), side(r.y),
                          side(r.w), side(r.h), at(r.x), at(r.y), depth_, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, image->segment,
                          0);
    }
}

void X11Present::putPlain(const Framebuffer& picture, Rect r)
{
    if (maxRequestBytes_ == 0) {
        // In 4-byte units, with BIG-REQUESTS where the server has it; a put's own fields take 28 bytes.
        maxRequestBytes_ = xcb_get_maximum_request_length(c_) * kWordBytes - 32;
    }
    const auto rowBytes = static_cast<std::size_t>(r.w) * kWordBytes;
    const int rowsPerPut = static_cast<int>(std::max<std::size_t>(1, maxRequestBytes_ / rowBytes));
    for (int y = r.y; y < r.y + r.h; y += rowsPerPut) {
        const int rows = std::min(rowsPerPut, r.y + r.h - y);
        rows_.resize(static_cast<std::size_t>(r.w) * static_cast<std::size_t>(rows));
        for (int row = 0; row < rows; ++row) {
            const std::uint32_t* from = picture.pixels() + static_cast<std::ptrdiff_t>(y + row) * picture.width() + r.x;
            std::copy(from, from + r.w, rows_.begin() + static_cast<std::ptrdiff_t>(row) * r.w);
        }
        xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_, static_cast<std::uint16_t>(r.w),
                      static_cast<std::uint16_t>(rows), static_cast<std::int16_t>(r.x), static_cast<std::int16_t>(y), 0,
                      depth_, static_cast<std::uint32_t>(rows_.size() * kWordBytes),
                      reinterpret_cast<const std::uint8_t*>(rows_.data()));
    }
}

std::uint32_t* X11Present::allocate(int width, int height)
{
    images_.reserve(images_.size() + 1);  // before the memory exists, so nothing fails after it
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * kWordBytes;
    if (sharing_ != Sharing::none && width <= kMaxSharedSide && height <= kMaxSharedSide) {
        if (std::uint32_t* pixels = allocateShared(bytes)) {
            return pixels;
        }
    }
    auto* pixels = new std::uint32_t[bytes / kWordBytes];
    images_.push_back(Image{pixels, bytes, 0, Sharing::none});
    return pixels;
}

// Shared memory of the size, attached by the server; nullptr when the server cannot attach it (sharing is
// then off for good). Throws std::bad_alloc when the system gives the program no memory of that size.
std::uint32_t* X11Present::allocateShared(std::size_t bytes)
{
    const xcb_shm_seg_t segment = xcb_generate_id(c_);
    const Sharing kind = sharing_;
    void* address = MAP_FAILED;
    int id = -1;
    xcb_void_cookie_t attached{};
    if (kind == Sharing::memfd) {
        const int fd = memfd_create("zarvo1-picture", MFD_CLOEXEC);
        if (fd >= 0 && ftruncate(fd, static_cast<off_t>(bytes)) == 0) {
            address = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        }
        if (address == MAP_FAILED) {
            close(fd);
            throw std::bad_alloc();
        }
        attached = xcb_shm_attach_fd_checked(c_, segment, fd, 1);  // xcb closes the descriptor once sent
    } else {
        id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        address = id < 0 ? MAP_FAILED : shmat(id, nullptr, 0);
        if (address == MAP_FAILED) {
            shmctl(id, IPC_RMID, nullptr);
            throw std::bad_alloc();
        }
        attached = xcb_shm_attach_checked(c_, segment, static_cast<std::uint32_t>(id), 1);
    }
    xcb_generic_error_t* error = xcb_request_check(c_, attached);
    if (id >= 0) {
        shmctl(id, IPC_RMID, nullptr);  // the segment goes with the last side that lets go of it
    }
    const Image image{static_cast<std::uint32_t*>(address), bytes, segment, kind};
    if (error != nullptr) {
        std::free(error);
        unmap(image);
        sharing_ = Sharing::none;
        return nullptr;
    }
    images_.push_back(image);
    return image.pixels;
}

void X11Present::unmap(const Image& image)
{
    if (image.kind == Sharing::systemV) {
        shmdt(image.pixels);
    } else {
        munmap(image.pixels, image.bytes);
    }
}

void X11Present::release(std::uint32_t* pixels, int /*width*/, int /*height*/) noexcept
{
    const auto image = std::find_if(images_.begin(), images_.end(), [&](const Image& i) { return i.pixels == pixels; });
    if (image == images_.end()) {
        return;
    }
    if (image->segment == 0) {
        delete[] image->pixels;
    } else {
        // Every put from the segment went out before this request on the same connection.
        xcb_shm_detach(c_, image->segment);
        unmap(*image);
    }
    images_.erase(image);
}

}  // namespace zarvo::x11
