// The X11 presenter: shared-memory images the picture lives in, put to the window without a round trip, on
// a connection of the presenter's own. xcb opens that connection (the display's name, the authentication,
// the question whether the server has MIT-SHM); from then on the presenter speaks the few requests it
// needs there itself, so that a tick costs one write to the socket and no library code.
#include "platform/x11/x11_present.hpp"

#include "core/runtime.hpp"
#include "platform/x11/x11_wire.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstddef>
#include <cstdint>
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
    // The presenter's own connection, for the shared images: a tick's requests leave SDL's connection
    // untouched, so the host need not look at it afterwards. Nothing comes back on it but errors, the
    // replies to the presenter's own checks and the events the server sends every client.
    xcb_connection_t* link = nullptr;  // owns the socket; no xcb call is made on it after it is opened
    int socket = -1;                   // the link's, while there is one
    std::uint8_t shmOpcode = 0;
    std::uint32_t idBase = 0;  // the connection's resource ids: idBase | k * idStep
    std::uint32_t idStep = 0;
    std::uint32_t linkGc = 0;
    std::vector<std::uint8_t> out;  // requests not yet written
    std::vector<std::uint8_t> in;   // what the server sent, up to a packet not yet whole
    std::uint64_t replies = 0;      // replies read so far
    bool attaching = false;         // an attach is being checked: its refusal is an answer, not a failure
    bool attachRefused = false;
    bool watched = false;  // the host reads the connection when it signals; otherwise each present reads it
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
        // The one round trip xcb makes for the presenter: after it xcb has read all the server sent.
        const xcb_query_extension_reply_t* shm =
            xcb_connection_has_error(c) == 0 ? xcb_get_extension_data(c, &xcb_shm_id) : nullptr;
        const xcb_setup_t* setup = shm != nullptr && shm->present != 0 ? xcb_get_setup(c) : nullptr;
        if (setup == nullptr || setup->resource_id_mask == 0) {
            xcb_disconnect(c);
            return;
        }
        link = c;
        // Errors on this connection are reported through SDL's display, whose Xlib knows nothing of MIT-SHM
        // unless told: told, it names the extension's own error (a bad segment) in its error table's words.
        XInitExtension(display, "MIT-SHM");
        socket = xcb_get_file_descriptor(c);  // non-blocking, as xcb keeps it
        shmOpcode = shm->major_opcode;
        idBase = setup->resource_id_base;
        idStep = setup->resource_id_mask & (~setup->resource_id_mask + 1U);  // the mask's lowest bit
        // The window is SDL's, made on SDL's connection; its id names it on this one as well.
        linkGc = idBase | idStep;
        wire::appendCreateGc(out, linkGc, static_cast<std::uint32_t>(window));
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

    void refused(const wire::Packet& error) const
    {
        sdlFirst();
        XErrorEvent event{};
        event.type = 0;  // an error
        event.display = display;
        event.resourceid = error.resource;
        event.serial = error.sequence;
        event.error_code = error.code;
        event.request_code = error.major;
        event.minor_code = static_cast<unsigned char>(error.minor);  // minor codes are 8-bit in the protocol
        const XErrorHandler handler = XSetErrorHandler(nullptr);
        XSetErrorHandler(handler);
        if (handler != nullptr) {
            handler(display, &event);
        }
    }

    // Everything the server has sent so far, without waiting: errors go to the handler (a refused attach
    // while one is checked is its answer), replies are counted, events dropped. A closed or broken
    // connection is a lost display.
    void readLink()
    {
        std::array<std::uint8_t, 4096> chunk{};
        for (;;) {
            const ssize_t n = recv(socket, chunk.data(), chunk.size(), MSG_DONTWAIT);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return;
            }
            if (n <= 0) {
                lost();
            }
            in.insert(in.end(), chunk.begin(), chunk.begin() + n);
            std::size_t at = 0;
            wire::Packet packet;
            while (const std::size_t length = wire::nextPacket(std::span(in).subspan(at), packet)) {
                at += length;
                if (packet.kind == wire::Packet::Kind::reply) {
                    ++replies;
                } else if (packet.kind == wire::Packet::Kind::error) {
                    if (attaching && packet.major == shmOpcode && packet.minor == wire::kShmAttach) {
                        attachRefused = true;
                    } else {
                        refused(packet);
                    }
                }
            }
            in.erase(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(at));
        }
    }

    // Writes the requests held; false when the connection is broken. Where the server has not kept up and
    // the socket is full, waits until it has room, reading what the server sends meanwhile unless told not
    // to (a release, which must not fail).
    bool write(bool reading)
    {
        std::size_t done = 0;
        while (done < out.size()) {
            const ssize_t n = send(socket, out.data() + done, out.size() - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                pollfd room{socket, static_cast<short>(reading ? POLLIN | POLLOUT : POLLOUT), 0};
                if (poll(&room, 1, -1) < 0 && errno != EINTR) {
                    break;
                }
                if ((room.revents & POLLIN) != 0) {
                    readLink();
                }
            } else {
                break;
            }
        }
        const bool whole = done == out.size();
        out.clear();
        return whole;
    }

    void flush()
    {
        if (!write(true)) {
            lost();
        }
    }

    // Waits until the server has answered every request sent so far, reading what it sends.
    void roundTrip()
    {
        wire::appendGetInputFocus(out);
        flush();
        const std::uint64_t wanted = replies + 1;
        while (replies < wanted) {
            pollfd answer{socket, POLLIN, 0};
            if (poll(&answer, 1, -1) < 0 && errno != EINTR) {
                lost();
            }
            readLink();
        }
    }

    // A resource id for a new segment: one that no image holds. At most two images live at once (the old
    // and the new picture of a resize), so three ids past the GC's suffice.
    std::uint32_t segmentId() const
    {
        for (std::uint32_t k = 2;; ++k) {
            const std::uint32_t id = idBase | (k * idStep);
            if (std::none_of(images.begin(), images.end(), [id](const Image& i) { return i.segment == id; })) {
                return id;
            }
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
        const std::uint32_t segment = segmentId();
        wire::appendShmAttach(out, shmOpcode, segment, static_cast<std::uint32_t>(id));
        attaching = true;
        attachRefused = false;
        try {
            roundTrip();
        } catch (...) {
            attaching = false;
            shmctl(id, IPC_RMID, nullptr);
            shmdt(address);
            throw;
        }
        attaching = false;
        // Marked for removal now, so the segment goes away with the last side that lets go of it, however
        // the program ends.
        shmctl(id, IPC_RMID, nullptr);
        if (attachRefused) {
            shmdt(address);
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
            wire::appendShmDetach(out, shmOpcode, at->segment);
            write(false);  // a broken connection shows at the next present
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
    if (state->link != nullptr) {
        state->flush();
    }
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
        wire::ShmPut put;
        put.drawable = static_cast<std::uint32_t>(s.window);
        put.gc = s.linkGc;
        put.totalWidth = static_cast<std::uint16_t>(at->width);
        put.totalHeight = static_cast<std::uint16_t>(at->height);
        put.depth = static_cast<std::uint8_t>(s.depth);
        put.segment = at->segment;
        for (const Rect& r : regions) {
            put.x = static_cast<std::int16_t>(r.x);
            put.y = static_cast<std::int16_t>(r.y);
            put.width = static_cast<std::uint16_t>(r.w);
            put.height = static_cast<std::uint16_t>(r.h);
            wire::appendShmPutImage(s.out, s.shmOpcode, put);
        }
        s.flush();
        if (!s.watched) {
            s.readLink();
        }
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

int X11Presenter::connection() const
{
    return state_->socket;  // -1 until the connection is open
}

void X11Presenter::watched()
{
    state_->watched = true;
}

void X11Presenter::readConnection()
{
    if (state_->socket >= 0) {
        state_->readLink();
    }
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
