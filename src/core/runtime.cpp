// The runtime layer: generator, time of day, hexadecimal text and substrings.
#include "core/runtime.hpp"

#include <chrono>
#include <cstring>
#include <ctime>

namespace zarvo {

void raiseRuntimeError(std::string_view what)
{
    throw RuntimeError(std::string(what));
}

namespace {
constexpr std::uint64_t kMultiplier = 6364136223846793005ULL;
constexpr std::uint64_t kIncrement = 1442695040888963407ULL;

std::uint64_t splitmix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30U)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27U)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31U);
}

// Written out rather than std::rotr and std::bit_cast, which the C++ library of the WebAssembly build
// lacks or declares with an unsigned count.
std::uint32_t rotateRight(std::uint32_t x, unsigned count)
{
    count &= 31U;
    return count == 0 ? x : (x >> count) | (x << (32U - count));
}

std::uint32_t bitsOf(float f)
{
    static_assert(sizeof(float) == sizeof(std::uint32_t));
    std::uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}
}  // namespace

float Generator::next()
{
    const std::uint64_t old = state_;
    state_ = old * kMultiplier + kIncrement;
    // PCG's XSH-RR output, then its top 24 bits: a float with 24 significant bits holds them exactly.
    const auto xorshifted = static_cast<std::uint32_t>(((old >> 18U) ^ old) >> 27U);
    const auto rot = static_cast<unsigned>(old >> 59U);
    const std::uint32_t out = rotateRight(xorshifted, rot);
    return static_cast<float>(out >> 8U) * 0x1p-24F;
}

void Generator::randomize(float seed)
{
    state_ = splitmix(bitsOf(seed));
}

float timeOfDay()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    const std::tm* local = std::localtime(&t);
    const double fraction =
        static_cast<double>(duration_cast<microseconds>(now.time_since_epoch()).count() % 1000000) / 1e6;
    double seconds = fraction;
    if (local != nullptr) {
        seconds += local->tm_hour * 3600.0 + local->tm_min * 60.0 + local->tm_sec;
    }
    return static_cast<float>(seconds);
}

std::string hexText(std::int32_t value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    auto bits = static_cast<std::uint32_t>(value);
    char buffer[8];
    int n = 0;
    do {
        buffer[7 - n] = kDigits[bits & 0xFU];
        bits >>= 4U;
        ++n;
    } while (bits != 0);
    return {buffer + 8 - n, static_cast<std::size_t>(n)};
}

std::string_view midText(std::string_view text, int start, int length)
{
    if (start < 1 || length < 0) {
        raiseRuntimeError("invalid procedure call: substring position or length out of range");
    }
    const auto from = static_cast<std::size_t>(start - 1);
    if (from >= text.size()) {
        return {};
    }
    return text.substr(from, static_cast<std::size_t>(length));
}

}  // namespace zarvo
