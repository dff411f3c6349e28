// The event fuzzer: turns its input into the events a host delivers (resizes, ticks, mouse presses, key
// presses) on the chain over an in-memory picture, with the generator's draws taken from the input as well,
// and checks every invariant after every event.
//
// Input layout:
//   header         a byte: bit 0 set, the background follows as 3 bytes (red, green, blue); otherwise black.
//                  Then the length of the event part, 2 bytes (low byte first).
//   event part     events until it ends, each one byte whose value modulo 4 selects:
//     0 ticks        a count byte; 1 + count % 16 ticks
//     1 resize       width, then height, each a size: a byte b below 0xF0 is the size itself (0..239);
//                    otherwise b and the next byte n give 1 + ((b & 0x0F) << 8 | n) (1..4096)
//     2 mouse press  button (int16, 2 bytes, low first), modifiers (int16), x and y (a byte each)
//     3 key press    key code (int16), modifiers (int16); Escape ends the run
//   draw part      the rest: each draw takes 2 bytes v (high first) and is u = (256 v + v / 256) / 2^24, a
//                  point of the lattice the program's generator uses, from 0 to its last point 1 - 2^-24; each
//                  reseed takes 4 bytes, any bit pattern as the seed.
// Once the draw part is used up, draws come from the program's generator. A reseed never uses the time of
// day, so a run replays exactly. So that no input runs for long, a run ends early once its resizes and right
// clicks have filled more than 2^26 pixels in all (four of the largest pictures).
#include "core/framebuffer.hpp"
#include "core/frm.hpp"
#include "core/runtime.hpp"
#include "invariants.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>

namespace zarvo {
namespace {

// One part of the input, read from the front; past its end every byte reads 0.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    [[nodiscard]] bool empty() const { return position_ >= size_; }
    std::uint8_t byte() { return empty() ? 0 : data_[position_++]; }
    std::int16_t int16()
    {
        const auto low = static_cast<unsigned>(byte());
        const auto high = static_cast<unsigned>(byte());
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8U)));
    }
    int size()
    {
        const std::uint8_t b = byte();
        if (b < 0xF0U) {
            return b;
        }
        return 1 + static_cast<int>((static_cast<unsigned>(b & 0x0FU) << 8U) | byte());
    }
    // The next n bytes (as many as are left) as a part of their own.
    Bytes split(std::size_t n)
    {
        const std::size_t length = std::min(n, size_ - position_);
        const Bytes part(data_ + position_, length);
        position_ += length;
        return part;
    }
    // The next n bytes as a number, high first; false when fewer are left.
    bool take(int n, std::uint32_t& value)
    {
        if (size_ - position_ < static_cast<std::size_t>(n)) {
            return false;
        }
        value = 0;
        for (int k = 0; k < n; ++k) {
            value = (value << 8U) | data_[position_++];
        }
        return true;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

[[noreturn]] void fail(const std::string& what)
{
    std::cerr << "invariant broken: " << what << std::endl;
    std::abort();
}

// The generator as the chain sees it: draws from the input while it lasts, then the program's own.
class InputRandom final : public RandomSource {
public:
    explicit InputRandom(Bytes draws) : draws_(draws) {}

    float next() override
    {
        std::uint32_t v = 0;
        const float u = draws_.take(2, v) ? static_cast<float>((v << 8U) | (v >> 8U)) * 0x1p-24F : fallback_.next();
        if (!(u >= 0.0F && u < 1.0F)) {
            fail("a draw of " + std::to_string(u) + ", outside [0, 1)");
        }
        return u;
    }
    void randomize(float /*timeOfDay*/) override
    {
        std::uint32_t bits = 0;
        fallback_.randomize(draws_.take(4, bits) ? std::bit_cast<float>(bits) : static_cast<float>(++reseeds_));
    }

private:
    Bytes draws_;
    Generator fallback_;
    int reseeds_ = 0;
};

// The program as a host drives it: one picture, the chain on it, and every invariant checked after every
// event. With ZARVO1_FUZZ_TRACE set, each event is told on stderr, to see what an input does.
class Session {
public:
    Session(Colour background, Bytes draws) : picture_(0, 0, background), random_(draws), frm_(picture_, random_)
    {
        check("creation");
    }

    void ticks(int count)
    {
        trace(std::to_string(count) + " ticks");
        for (int t = 0; t < count; ++t) {
            frm_.onTick();
            check("a tick");
        }
    }
    // A resize always resets the chain, as the hosts deliver it.
    void resize(int width, int height)
    {
        trace("resize to " + std::to_string(width) + " x " + std::to_string(height));
        filled_ += static_cast<long long>(width) * height;
        picture_.resize(width, height);
        frm_.onResize();
        invariants_.resized();
        check("a resize");
    }
    void mouseDown(std::int16_t button, std::int16_t modifiers, float x, float y)
    {
        trace("mouse press: button " + std::to_string(button) + ", modifiers " + std::to_string(modifiers));
        if (button == kButtonRight) {
            filled_ += static_cast<long long>(picture_.width()) * picture_.height();
        }
        frm_.onMouseDown(button, modifiers, x, y);
        invariants_.clicked(button);
        check("a mouse press");
    }
    // Returns whether the program goes on: Escape, whatever the modifiers, ends it at once.
    bool keyDown(std::int16_t keyCode, std::int16_t modifiers)
    {
        trace("key press: key code " + std::to_string(keyCode) + ", modifiers " + std::to_string(modifiers));
        const bool ends = frm_.onKeyDown(keyCode, modifiers) == KeyOutcome::endProgram;
        if (ends != (keyCode == kEscape)) {
            fail("key code " + std::to_string(keyCode) + (ends ? " ended" : " did not end") + " the program");
        }
        check("a key press");
        return !ends;
    }
    [[nodiscard]] bool spent() const { return filled_ > kFillBudget; }
    // Whatever the damage said, every pixel.
    void finish() const { report(testing::Invariants::checkAllPixels(picture_), "the last event"); }

private:
    static void trace(const std::string& event)
    {
        static const bool kTrace = std::getenv("ZARVO1_FUZZ_TRACE") != nullptr;
        if (kTrace) {
            std::cerr << event << '\n';
        }
    }
    static void report(const std::string& failure, const char* after)
    {
        if (!failure.empty()) {
            fail(failure + " (after " + after + ")");
        }
    }
    void check(const char* after)
    {
        report(invariants_.checkChain(frm_, picture_), after);
        report(invariants_.checkChangedPixels(picture_), after);
    }

    static constexpr long long kFillBudget = 1LL << 26;

    Framebuffer picture_;
    InputRandom random_;
    Frm frm_;
    testing::Invariants invariants_;
    long long filled_ = 0;
};

void run(const std::uint8_t* data, std::size_t size)
{
    Bytes input(data, size);
    Colour background = 0;
    if ((input.byte() & 1U) != 0) {
        const int red = input.byte();
        const int green = input.byte();
        background = rgb(red, green, input.byte());
    }
    const auto eventLength = static_cast<std::uint16_t>(input.int16());
    Bytes events = input.split(eventLength);
    Session session(background, input.split(size));

    bool running = true;
    while (running && !events.empty() && !session.spent()) {
        switch (events.byte() % 4U) {
        case 0: session.ticks(1 + events.byte() % 16); break;
        case 1: {
            const int width = events.size();
            session.resize(width, events.size());
            break;
        }
        case 2: {
            const std::int16_t button = events.int16();
            const std::int16_t modifiers = events.int16();
            const auto x = static_cast<float>(events.byte());
            session.mouseDown(button, modifiers, x, static_cast<float>(events.byte()));
            break;
        }
        default: {
            const std::int16_t keyCode = events.int16();
            running = session.keyDown(keyCode, events.int16());
            break;
        }
        }
    }
    session.finish();
}

}  // namespace
}  // namespace zarvo

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zarvo::run(data, size);
    return 0;
}
