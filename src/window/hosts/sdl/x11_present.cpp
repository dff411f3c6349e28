// The X11 presenter: shared-memory images the picture lives in, put to the window without a round trip.
#include "window/hosts/sdl/x11_present.hpp"

#include "window/runtime.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace zarvo::sdl {

namespace {

constexpr int kWordBytes = 4;

// One block of the picture's pixels and the image that describes it to Xlib. Kept at a fixed address:
// Xlib finds a shared image's segment through a pointer to `segment`.
struct Image {
    XImage* image = nullptr;
    XShmSegmentInfo segment{};
    bool shared = false;
};

// Xlib's error handlers take no pointer of the caller's, so what the handler around an attach needs lives
// here, and only for the length of that one XSync.
struct AttachCheck {
    int shmOpcode = 0;
    bool failed = false;
    XErrorHandler previous = nullptr;
};
AttachCheck attachCheck;  // NOLINT(cppcoreguidelines-avoid-non-const-global-variables): see above

// A refused attach turns shared memory off; every other error goes to the handler that was in place.
int duringAttach(Display* display, XErrorEvent* error)
{
    if (error->request_code == attachCheck.shmOpcode) {
        attachCheck.failed = true;
        return 0;
    }
    return attachCheck.previous != nullptr ? attachCheck.previous(display, error) : 0;
}

// The picture's words are 0x00RRGGBB in the machine's own byte order.
int nativeByteOrder()
{
    return std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
}

}  // namespace

struct X11Presenter::State {
    Display* display = nullptr;
    Window window = 0;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    int shmOpcode = 0;           // MIT-SHM's request code; 0 once shared memory is not to be used
    bool putsSinceSync = false;  // a shared image was put since the server last answered
    std::vector<std::unique_ptr<Image>> images;

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

    // A shared-memory image, or nullptr when the server cannot use one (it refused to attach, or would
    // read the rows differently); shared memory is then off from here on. Throws std::bad_alloc when the
    // system gives no segment of the size.
    std::uint32_t* allocateShared(int width, int height)
    {
        auto entry = std::make_unique<Image>();
        entry->shared = true;
        entry->image = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &entry->segment,
                                       static_cast<unsigned>(width), static_cast<unsigned>(height));
        if (entry->image == nullptr) {
            throw std::bad_alloc();
        }
        if (entry->image->bits_per_pixel != 32 || entry->image->bytes_per_line != width * kWordBytes) {
            XDestroyImage(entry->image);
            shmOpcode = 0;
            return nullptr;
        }
        images.reserve(images.size() + 1);  // before the segment exists, so nothing fails after it
        const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * kWordBytes;
        entry->segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        void* address = entry->segment.shmid < 0 ? nullptr : shmat(entry->segment.shmid, nullptr, 0);
        if (address == nullptr || reinterpret_cast<std::intptr_t>(address) == -1) {
            if (entry->segment.shmid >= 0) {
                shmctl(entry->segment.shmid, IPC_RMID, nullptr);
            }
            XDestroyImage(entry->image);
            throw std::bad_alloc();
        }
        entry->segment.shmaddr = static_cast<char*>(address);
        entry->segment.readOnly = True;
        entry->image->data = entry->segment.shmaddr;

        // The one wait for the server: whether it could attach (a remote server cannot). It comes with a
        // resize only, which is rare.
        attachCheck = AttachCheck{shmOpcode, false, nullptr};
        attachCheck.previous = XSetErrorHandler(duringAttach);
        XShmAttach(display, &entry->segment);
        XSync(display, False);
        XSetErrorHandler(attachCheck.previous);
        putsSinceSync = false;
        // Marked for removal now, so the segment goes away with the last side that lets go of it, however
        // the program ends.
        shmctl(entry->segment.shmid, IPC_RMID, nullptr);
        if (attachCheck.failed) {
            shmdt(address);
            entry->image->data = nullptr;
            XDestroyImage(entry->image);
            shmOpcode = 0;
            return nullptr;
        }
        images.push_back(std::move(entry));
        return static_cast<std::uint32_t*>(address);
    }

    std::uint32_t* allocatePlain(int width, int height)
    {
        images.reserve(images.size() + 1);
        auto entry = std::make_unique<Image>();
        auto* pixels = new std::uint32_t[static_cast<std::size_t>(width) * static_cast<std::size_t>(height)];
        entry->image = wrap(pixels, width, height);
        if (entry->image == nullptr) {
            delete[] pixels;
            throw std::bad_alloc();
        }
        images.push_back(std::move(entry));
        return pixels;
    }

    void release(std::vector<std::unique_ptr<Image>>::iterator at) noexcept
    {
        Image& entry = **at;
        auto* pixels = reinterpret_cast<std::uint32_t*>(entry.image->data);
        entry.image->data = nullptr;
        if (entry.shared) {
            // A put the server has not handled yet may still read the segment: resizes are rare enough to
            // wait for it once.
            if (putsSinceSync) {
                XSync(display, False);
                putsSinceSync = false;
            }
            XShmDetach(display, &entry.segment);
            shmdt(entry.segment.shmaddr);
        } else {
            delete[] pixels;
        }
        XDestroyImage(entry.image);
        images.erase(at);
    }

    std::vector<std::unique_ptr<Image>>::iterator find(const std::uint32_t* pixels)
    {
        return std::find_if(images.begin(), images.end(), [pixels](const std::unique_ptr<Image>& entry) {
            return reinterpret_cast<const std::uint32_t*>(entry->image->data) == pixels;
        });
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
    // The picture's words go to the server as they are: the server must store this depth in 32 bits.
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
    bool wordPerPixel = false;
    for (int i = 0; i < count; ++i) {
        wordPerPixel = wordPerPixel || (formats[i].depth == attributes.depth && formats[i].bits_per_pixel == 32);
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
    int opcode = 0;
    int firstEvent = 0;
    int firstError = 0;
    // Shared images hold the words in this machine's byte order, which the server must share.
    if (XShmQueryExtension(display) != 0 &&
        XQueryExtension(display, "MIT-SHM", &opcode, &firstEvent, &firstError) != 0 &&
        ImageByteOrder(display) == nativeByteOrder()) {
        state->shmOpcode = opcode;
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
}

void X11Presenter::present(const Framebuffer& picture, std::span<const Rect> regions)
{
    State& s = *state_;
    if (regions.empty() || picture.pixels() == nullptr) {
        return;
    }
    const auto at = s.find(picture.pixels());
    const bool ours = at != s.images.end();
    const bool shared = ours && (*at)->shared;
    XImage* image = nullptr;
    if (ours) {
        image = (*at)->image;
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
        const auto w = static_cast<unsigned>(r.w);
        const auto h = static_cast<unsigned>(r.h);
        if (shared) {
            XShmPutImage(s.display, s.window, s.gc, image, r.x, r.y, r.x, r.y, w, h, False);
        } else {
            XPutImage(s.display, s.window, s.gc, image, r.x, r.y, r.x, r.y, w, h);
        }
    }
    if (!ours) {
        image->data = nullptr;
        XDestroyImage(image);
    }
    s.putsSinceSync = s.putsSinceSync || shared;
    XFlush(s.display);
}

std::uint32_t* X11Presenter::allocate(int width, int height)
{
    if (state_->shmOpcode != 0) {
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
