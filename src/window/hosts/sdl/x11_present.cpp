// The X11 presenter: shared-memory images the picture lives in, put to the window without a round trip, on
// a connection of the presenter's own.
#include "window/hosts/sdl/x11_present.hpp"

#include "window/runtime.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace zarvo::sdl {

namespace {

constexpr int kWordBytes = 4;
// The largest side a shared image is put with: the request's coordinates are 16-bit, signed where they
// are on the window. No window is larger; a picture that is goes as plain requests.
constexpr int kMaxSharedSide = 32767;

// One block of the picture's pixels: a segment the server has attached on the presenter's connection, or
// plain memory with the image that describes it to Xlib.
struct Image {
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    xcb_shm_seg_t segment = 0;  // 0: plain memory
    XImage* image = nullptr;    // plain memory only
};

// What xcb hands out is freed with free().
struct FreeDeleter {
    void operator()(void* p) const noexcept { std::free(p); }  // NOLINT(cppcoreguidelines-no-malloc)
};
template <class T>
using XcbPtr = std::unique_ptr<T, FreeDeleter>;

// The picture's words are 0x00RRGGBB in the machine's own byte order.
int nativeByteOrder()
{
    return std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
}

}  // namespace

struct X11Presenter::State {
    Display* display = nullptr;  // SDL's connection: plain requests go on it, and failures are reported for it
    Window window = 0;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    // The presenter's own connection, for the shared images: a tick's requests and flush leave SDL's
    // connection untouched, so the host need not look at it afterwards. Nothing is read on it but errors.
    xcb_connection_t* link = nullptr;
    xcb_gcontext_t linkGc = 0;
    bool sharing = false;  // new images are shared; off for good once the server refuses to attach one
    std::vector<Image> images;

    // The connection and a GC for the window on it, where the server shares memory with this machine's
    // byte order; otherwise shared memory stays off.
    void openLink()
    {
        if (ImageByteOrder(display) != nativeByteOrder()) {
            return;
        }
        xcb_connection_t* c = xcb_connect(DisplayString(display), nullptr);
        const xcb_query_extension_reply_t* shm =
            xcb_connection_has_error(c) == 0 ? xcb_get_extension_data(c, &xcb_shm_id) : nullptr;
        if (shm == nullptr || shm->present == 0) {
            xcb_disconnect(c);
            return;
        }
        // The window is SDL's, made on SDL's connection; its id names it on this one as well.
        linkGc = xcb_generate_id(c);
        xcb_create_gc(c, linkGc, static_cast<xcb_drawable_t>(window), 0, nullptr);
        link = c;
        sharing = true;
    }

    // A failure on the presenter's connection is reported as Xlib reports one on SDL's: through the
    // handlers it has for that (the program's own, which end it). SDL's connection is looked at first: a
    // server that closed it (xkill) destroyed the window with it, and that loss is the failure to report.
    void sdlFirst() const
    {
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        if (poll(&connection, 1, 0) > 0) {
            XEventsQueued(display, QueuedAfterReading);
        }
    }

    [[noreturn]] void lost() const
    {
        sdlFirst();
        const XIOErrorHandler handler = XSetIOErrorHandler(nullptr);
        XSetIOErrorHandler(handler);
        if (handler != nullptr) {
            handler(display);
        }
        raiseRuntimeError("the connection to the X server broke");
    }

    void refused(const xcb_generic_error_t& error) const
    {
        sdlFirst();
        XErrorEvent event{};
        event.type = 0;  // an error
        event.display = display;
        event.resourceid = error.resource_id;
        event.serial = error.full_sequence;
        event.error_code = error.error_code;
        event.request_code = error.major_code;
        event.minor_code = static_cast<unsigned char>(error.minor_code);  // minor codes are 8-bit in the protocol
        const XErrorHandler handler = XSetErrorHandler(nullptr);
        XSetErrorHandler(handler);
        if (handler != nullptr) {
            handler(display, &event);
        }
    }

    // What xcb has read on the connection while it wrote: errors go to the handler, anything else is
    // dropped. A broken connection is a lost display. Reads nothing from the socket: what the server sends
    // later is read by the next flush.
    void takeReplies() const
    {
        while (XcbPtr<xcb_generic_event_t> event{xcb_poll_for_queued_event(link)}) {
            if (event->response_type == 0) {
                refused(*reinterpret_cast<const xcb_generic_error_t*>(event.get()));
            }
        }
        if (xcb_connection_has_error(link) != 0) {
            lost();
        }
    }

    // An image over pixels in plain memory, for plain requests; nullptr when Xlib has no memory for it.
    XImage* wrap(std::uint32_t* pixels, int width, int height) const
    {
        XImage* image =
            XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, reinterpret_cast<char*>(pixels),
                         static_cast<unsigned>(width), static_cast<unsigned>(height), 32, width * kWordBytes);
        if (image != nullptr) {
            image->byte_order = nativeByteOrder();  // Xlib swaps the bytes if the server wants them otherwise
        }
        return image;
    }

    // A shared-memory image, or nullptr when the server cannot attach it (a server on another machine);
    // shared memory is then off from here on. Throws std::bad_alloc when the system gives no segment of the
    // size.
    std::uint32_t* allocateShared(int width, int height)
    {
        images.reserve(images.size() + 1);  // before the segment exists, so nothing fails after it
        const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * kWordBytes;
        const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        void* address = id < 0 ? nullptr : shmat(id, nullptr, 0);
        if (address == nullptr || reinterpret_cast<std::intptr_t>(address) == -1) {
            if (id >= 0) {
                shmctl(id, IPC_RMID, nullptr);
            }
            throw std::bad_alloc();
        }
        // The one wait for the server: whether it could attach. It comes with a resize only, which is rare.
        const xcb_shm_seg_t segment = xcb_generate_id(link);
        const XcbPtr<xcb_generic_error_t> refusal{
            xcb_request_check(link, xcb_shm_attach_checked(link, segment, static_cast<std::uint32_t>(id), 1))};
        // Marked for removal now, so the segment goes away with the last side that lets go of it, however
        // the program ends.
        shmctl(id, IPC_RMID, nullptr);
        if (refusal != nullptr || xcb_connection_has_error(link) != 0) {
            shmdt(address);
            if (xcb_connection_has_error(link) != 0) {
                lost();
            }
            sharing = false;
            return nullptr;
        }
        auto* pixels = static_cast<std::uint32_t*>(address);
        images.push_back(Image{pixels, width, height, segment, nullptr});
        return pixels;
    }

    std::uint32_t* allocatePlain(int width, int height)
    {
        images.reserve(images.size() + 1);
        auto* pixels = new std::uint32_t[static_cast<std::size_t>(width) * static_cast<std::size_t>(height)];
        XImage* image = wrap(pixels, width, height);
        if (image == nullptr) {
            delete[] pixels;
            throw std::bad_alloc();
        }
        images.push_back(Image{pixels, width, height, 0, image});
        return pixels;
    }

    void release(std::vector<Image>::iterator at) noexcept
    {
        if (at->segment != 0) {
            // The server reads the segment for no request after this one: every put from it went before on
            // the same connection. It keeps its own attachment until then, so the memory outlives our view.
            xcb_shm_detach(link, at->segment);
            xcb_flush(link);
            shmdt(at->pixels);
        } else {
            at->image->data = nullptr;
            XDestroyImage(at->image);
            delete[] at->pixels;
        }
        images.erase(at);
    }

    std::vector<Image>::iterator find(const std::uint32_t* pixels)
    {
        return std::find_if(images.begin(), images.end(),
                            [pixels](const Image& entry) { return entry.pixels == pixels; });
    }
};

std::unique_ptr<X11Presenter> X11Presenter::create(void* displayHandle, unsigned long window)
{
    auto* display = static_cast<Display*>(displayHandle);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) == 0) {
        raiseRuntimeError("XGetWindowAttributes failed: the window is gone");
    }
    // SDL gives its windows a DirectColor visual where the screen has one, with a colormap that maps each
    // channel onto itself: with 256 entries per channel that draws as TrueColor does.
    const Visual* visual = attributes.visual;
    const bool trueColour =
        visual->c_class == TrueColor || (visual->c_class == DirectColor && visual->map_entries == 256);
    if (!trueColour || (attributes.depth != 24 && attributes.depth != 32) || visual->red_mask != 0xFF0000UL ||
        visual->green_mask != 0xFF00UL || visual->blue_mask != 0xFFUL) {
        return nullptr;
    }
    // The picture's words go to the server as they are: the server must store this depth in 32 bits, with
    // rows padded to no more than that.
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    bool wordPerPixel = false;
    for (int i = 0; i < count; ++i) {
        wordPerPixel = wordPerPixel || (formats[i].depth == attributes.depth && formats[i].bits_per_pixel == 32 &&
                                        formats[i].scanline_pad <= 32);
    }
    if (formats != nullptr) {
        XFree(formats);
    }
    if (!wordPerPixel) {
        return nullptr;
    }

    auto state = std::make_unique<State>();
    state->display = display;
    state->window = window;
    state->visual = attributes.visual;
    state->depth = attributes.depth;
    state->gc = XCreateGC(display, window, 0, nullptr);
    state->openLink();
    return std::unique_ptr<X11Presenter>(new X11Presenter(std::move(state)));
}

X11Presenter::X11Presenter(std::unique_ptr<State> state) : state_(std::move(state)) {}

X11Presenter::~X11Presenter()
{
    while (!state_->images.empty()) {
        state_->release(state_->images.begin());
    }
    XFreeGC(state_->display, state_->gc);
    if (state_->link != nullptr) {
        xcb_disconnect(state_->link);
    }
}

void X11Presenter::present(const Framebuffer& picture, std::span<const Rect> regions)
{
    State& s = *state_;
    if (regions.empty() || picture.pixels() == nullptr) {
        return;
    }
    const auto at = s.find(picture.pixels());
    if (at != s.images.end() && at->segment != 0) {
        for (const Rect& r : regions) {
            xcb_shm_put_image(s.link, static_cast<xcb_drawable_t>(s.window), s.linkGc,
                              static_cast<std::uint16_t>(at->width), static_cast<std::uint16_t>(at->height),
                              static_cast<std::uint16_t>(r.x), static_cast<std::uint16_t>(r.y),
                              static_cast<std::uint16_t>(r.w), static_cast<std::uint16_t>(r.h),
                              static_cast<std::int16_t>(r.x), static_cast<std::int16_t>(r.y),
                              static_cast<std::uint8_t>(s.depth), XCB_IMAGE_FORMAT_Z_PIXMAP, 0, at->segment, 0);
        }
        if (xcb_flush(s.link) <= 0) {
            s.lost();
        }
        s.takeReplies();
        return;
    }
    XImage* image = nullptr;
    if (at != s.images.end()) {
        image = at->image;
    } else {
        // Pixels from elsewhere: wrapped for plain requests. Xlib takes the image as non-const but only
        // reads its pixels.
        auto* pixels = const_cast<std::uint32_t*>(picture.pixels());  // NOLINT(cppcoreguidelines-pro-type-const-cast)
        image = s.wrap(pixels, picture.width(), picture.height());
        if (image == nullptr) {
            throw std::bad_alloc();
        }
    }
    for (const Rect& r : regions) {
        XPutImage(s.display, s.window, s.gc, image, r.x, r.y, r.x, r.y, static_cast<unsigned>(r.w),
                  static_cast<unsigned>(r.h));
    }
    if (at == s.images.end()) {
        image->data = nullptr;
        XDestroyImage(image);
    }
    XFlush(s.display);
}

std::uint32_t* X11Presenter::allocate(int width, int height)
{
    if (state_->sharing && width <= kMaxSharedSide && height <= kMaxSharedSide) {
        if (std::uint32_t* pixels = state_->allocateShared(width, height)) {
            return pixels;
        }
    }
    return state_->allocatePlain(width, height);
}

void X11Presenter::release(std::uint32_t* pixels, int /*width*/, int /*height*/) noexcept
{
    const auto at = state_->find(pixels);
    if (at != state_->images.end()) {
        state_->release(at);
    }
}

}  // namespace zarvo::sdl
