// The painter and the hexadecimal decoder, against a literal text-route reference.
#include "core/framebuffer.hpp"
#include "core/paint.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace zarvo {
namespace {

// The painter's colour route as the program's own developer first wrote it: format the colour as text, pad
// it to six digits, cut out the three pairs and decode each pair anew for each use.
Colour textRouteNudge(Colour col, std::int16_t tr, std::int16_t tg, std::int16_t tb)
{
    std::string s = hexText(col);
    const int n = 6 - static_cast<int>(s.size());
    for (int k = 0; k < n; ++k) {
        s.insert(s.begin(), '0');
    }
    const int positions[3] = {5, 3, 1};
    const std::int16_t targets[3] = {tr, tg, tb};
    int result[3] = {};
    for (int c = 0; c < 3; ++c) {
        const int p = positions[c];
        std::int32_t ch = retDec(midText(s, p, 2));
        if (retDec(midText(s, p, 2)) < targets[c]) {
            ch = retDec(midText(s, p, 2)) + 5;
        }
        if (retDec(midText(s, p, 2)) > targets[c]) {
            ch = retDec(midText(s, p, 2)) - 5;
        }
        if (ch > 255) {
            ch = 255;
        }
        if (ch < 0) {
            ch = 0;
        }
        result[c] = ch;
    }
    return rgb(result[0], result[1], result[2]);
}

struct Rgb {
    int r, g, b;
};
Rgb split(Colour c)
{
    return {c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF};
}

TEST(RetDec, DecodesDigitsCaseSensitively)
{
    EXPECT_EQ(retDec(""), 0);
    EXPECT_EQ(retDec("1A"), 26);
    EXPECT_EQ(retDec("FF"), 255);
    EXPECT_EQ(retDec("1a"), 16);  // a lowercase letter is the digit 0
    EXPECT_EQ(retDec("G7"), 7);
    EXPECT_EQ(retDec("0"), 0);
    EXPECT_EQ(retDec("7FFFFFFF"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(retDec("00FFFFFF"), 16777215);
}

TEST(RetDec, ValueBeyond32BitsIsARuntimeError)
{
    EXPECT_THROW((void)retDec("80000000"), RuntimeError);
    EXPECT_THROW((void)retDec("FFFFFFFF"), RuntimeError);
    EXPECT_THROW((void)retDec("100000000"), RuntimeError);
    EXPECT_THROW((void)retDec(std::string(400, 'F')), RuntimeError);
    // A long run of leading zeros still decodes: zero digits add nothing, however far left.
    EXPECT_EQ(retDec(std::string(400, '0') + "1A"), 26);
}

TEST(Nudge, WorkedColours)
{
    // Pure red: its text FF pads to 0000FF.
    const Rgb red = split(nudgeColour(255, 0, 0, 200));
    EXPECT_EQ(red.r, 250);
    EXPECT_EQ(red.g, 0);
    EXPECT_EQ(red.b, 5);
    EXPECT_EQ(nudgeColour(0, 0, 0, 0), 0);
    EXPECT_EQ(nudgeColour(0, 100, 0, 200), rgb(5, 0, 5));
    // -1 reads as FFFFFFFF: all three components 255, each moves 5 toward its target.
    EXPECT_EQ(nudgeColour(-1, 0, 255, 10), rgb(250, 255, 250));
}

TEST(Nudge, StepIsAlwaysFiveAndClampsAtTheEnds)
{
    // 10 toward 12 overshoots to 15, then comes back to 10: it alternates while the target stays.
    Colour c = rgb(10, 0, 0);
    c = nudgeColour(c, 12, 0, 0);
    EXPECT_EQ(split(c).r, 15);
    c = nudgeColour(c, 12, 0, 0);
    EXPECT_EQ(split(c).r, 10);
    EXPECT_EQ(split(nudgeColour(rgb(0, 253, 2), 0, 255, 0)).g, 255);
    EXPECT_EQ(split(nudgeColour(rgb(0, 253, 2), 0, 255, 0)).b, 0);
    EXPECT_EQ(nudgeColour(rgb(7, 8, 9), 7, 8, 9), rgb(7, 8, 9));
}

// Targets that exercise all three branches (below, equal, above) for every component value.
std::int16_t targetFor(std::uint32_t seed, unsigned channel)
{
    const std::uint32_t h = (seed * 2654435761U) >> (8U * channel);
    const unsigned v = h & 0xFFU;
    return static_cast<std::int16_t>(v);
}

TEST(Nudge, ByteRouteMatchesTextRouteForEveryPixelColour)
{
    int mismatches = 0;
    for (std::uint32_t col = 0; col <= 0xFFFFFFU; ++col) {
        const auto c = static_cast<Colour>(col);
        // Half the colours use their own components as the targets, so the "equal" branch is hit often.
        const bool own = (col & 1U) != 0;
        const std::int16_t tr = own ? static_cast<std::int16_t>(col & 0xFFU) : targetFor(col, 0);
        const std::int16_t tg = own ? static_cast<std::int16_t>((col >> 8U) & 0xFFU) : targetFor(col, 1);
        const std::int16_t tb = own ? static_cast<std::int16_t>(col >> 16U) : targetFor(col, 2);
        if (nudgeColour(c, tr, tg, tb) != textRouteNudge(c, tr, tg, tb) && ++mismatches < 10) {
            ADD_FAILURE() << "colour " << std::hex << col;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Nudge, ByteRouteMatchesTextRouteForWiderValues)
{
    std::vector<Colour> values = {-1,
                                  std::numeric_limits<Colour>::min(),
                                  std::numeric_limits<Colour>::max(),
                                  0x01000000,
                                  0x0FFFFFFF,
                                  0x10000000,
                                  0x00FFFFFF,
                                  0x7F00FF00,
                                  -256,
                                  -16777216};
    std::mt19937 rng(12345);
    for (int k = 0; k < 200000; ++k) {
        values.push_back(static_cast<Colour>(rng()));
    }
    for (const Colour c : values) {
        for (const int value : {0, 5, 128, 250, 255}) {
            const auto t = static_cast<std::int16_t>(value);
            const auto tg = static_cast<std::int16_t>(255 - t);
            ASSERT_EQ(nudgeColour(c, t, tg, t), textRouteNudge(c, t, tg, t)) << std::hex << c;
        }
    }
}

TEST(PaintDot, ReadsAndWritesTheSamePixel)
{
    Framebuffer picture(4, 3);
    picture.setPixel(2.0F, 1.0F, rgb(100, 100, 100));
    paintDot(picture, 2.7F, 1.2F, 0, 100, 200);
    EXPECT_EQ(picture.readPixel(2.0F, 1.0F), rgb(95, 100, 105));
    // Off the surface the read gives -1 and the write changes nothing.
    paintDot(picture, -1.0F, 0.0F, 0, 0, 0);
    paintDot(picture, 4.0F, 0.0F, 0, 0, 0);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            const Colour expected = (x == 2 && y == 1) ? rgb(95, 100, 105) : 0;
            EXPECT_EQ(picture.readPixel(static_cast<float>(x), static_cast<float>(y)), expected);
        }
    }
}

}  // namespace
}  // namespace zarvo
