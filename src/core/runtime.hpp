// The small runtime layer the logic stands on: the uniform generator and its reseeding from the time of
// day, hexadecimal text, substrings, colour composition, and the one place where a run-time error is raised.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zarvo {

// A colour value: red + 256 * green + 65536 * blue for a pixel (0x00BBGGRR), any 32-bit value otherwise.
using Colour = std::int32_t;

// A run-time error: a check that fired or a platform call that failed. Nothing in the logic catches it;
// the host reports it and ends the program with a non-zero status.
class RuntimeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The one place a run-time error is raised.
[[noreturn]] void raiseRuntimeError(std::string_view what);

// The source of u, a uniform draw in [0, 1). Tests replace it with a scripted sequence.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual float next() = 0;                // a fresh u in [0, 1), never 1.0
    virtual void randomize(float seed) = 0;  // reseed from the given value
};

// The program's own generator: a 64-bit permuted congruential generator whose top 24 bits give u exactly,
// so u is a multiple of 2^-24 in [0, 1 - 2^-24].
class Generator final : public RandomSource {
public:
    Generator() { randomize(0.0F); }
    float next() override;
    void randomize(float seed) override;

private:
    std::uint64_t state_ = 0;
};

// Seconds since local midnight, as a float (the seed of every reset).
float timeOfDay();

// Uppercase hexadecimal text without leading zeros ("0" for 0); a negative value gives the eight digits of
// its 32-bit two's complement.
std::string hexText(std::int32_t value);

// The part of text that starts at the 1-based position start, at most length characters long (empty when
// start lies past the end).
std::string_view midText(std::string_view text, int start, int length);

// red + 256 * green + 65536 * blue, each component 0..255.
constexpr Colour rgb(int red, int green, int blue)
{
    return red + 256 * green + 65536 * blue;
}

}  // namespace zarvo
