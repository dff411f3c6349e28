// The in-memory drawing surface: pixel rule, edges, clearing, resizing and damage.
#include "core/framebuffer.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace zarvo {
namespace {

std::vector<Rect> damageOf(Framebuffer& fb)
{
    std::vector<Rect> rects;
    fb.takeDamage([&](const Rect& r) { rects.push_back(r); });
    return rects;
}

TEST(Framebuffer, FractionalCoordinatesSelectThePixelContainingThem)
{
    Framebuffer fb(10, 8);
    fb.setPixel(2.99F, 3.0F, rgb(1, 2, 3));
    EXPECT_EQ(fb.readPixel(2.0F, 3.5F), rgb(1, 2, 3));
    EXPECT_EQ(fb.readPixel(3.0F, 3.0F), 0);
    // The last column and row are at size - 1; just below size still maps onto them.
    fb.setPixel(9.999F, 7.999F, rgb(9, 9, 9));
    EXPECT_EQ(fb.readPixel(9.0F, 7.0F), rgb(9, 9, 9));
}

TEST(Framebuffer, OutsideReadsMinusOneAndWritesChangeNothing)
{
    Framebuffer fb(3, 2, rgb(4, 5, 6));
    fb.clearSurface();
    (void)damageOf(fb);
    for (const auto& [x, y] : std::vector<std::pair<float, float>>{
             {-1.0F, 0.0F}, {-0.5F, 0.0F}, {3.0F, 0.0F}, {0.0F, 2.0F}, {0.0F, -1.0F}, {1e30F, 1.0F}}) {
        EXPECT_EQ(fb.readPixel(x, y), kOutside);
        fb.setPixel(x, y, rgb(255, 0, 0));
    }
    fb.setPixel(std::nanf(""), 0.0F, rgb(255, 0, 0));
    EXPECT_EQ(fb.readPixel(std::nanf(""), 0.0F), kOutside);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(fb.pixels()[i], Framebuffer::toWord(rgb(4, 5, 6)));
    }
    EXPECT_FALSE(fb.damaged());
}

TEST(Framebuffer, ZeroSizeIsLegal)
{
    Framebuffer fb(0, 0);
    EXPECT_EQ(fb.surfaceWidth(), 0.0F);
    EXPECT_EQ(fb.surfaceHeight(), 0.0F);
    EXPECT_EQ(fb.readPixel(-1.0F, -1.0F), kOutside);
    EXPECT_EQ(fb.readPixel(0.0F, 0.0F), kOutside);
    fb.setPixel(0.0F, 0.0F, 1);
    fb.clearSurface();
    EXPECT_TRUE(damageOf(fb).empty());
    fb.resize(0, 7);
    EXPECT_EQ(fb.readPixel(0.0F, 3.0F), kOutside);
    fb.resize(2, 2);
    EXPECT_EQ(fb.readPixel(1.0F, 1.0F), 0);
}

TEST(Framebuffer, ClearFillsWithTheBackground)
{
    Framebuffer fb(5, 4);
    fb.setPixel(1.0F, 1.0F, rgb(10, 20, 30));
    fb.setBackground(rgb(7, 8, 9));
    EXPECT_EQ(fb.readPixel(1.0F, 1.0F), rgb(10, 20, 30));  // a new background repaints nothing
    fb.clearSurface();
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(fb.readPixel(static_cast<float>(x), static_cast<float>(y)), rgb(7, 8, 9));
        }
    }
}

TEST(Framebuffer, ResizeKeepsTheOverlapAndFillsTheNewArea)
{
    Framebuffer fb(4, 4, rgb(1, 1, 1));
    fb.clearSurface();
    fb.setPixel(1.0F, 2.0F, rgb(50, 60, 70));
    fb.setPixel(3.0F, 3.0F, rgb(80, 90, 100));
    fb.resize(2, 6);
    EXPECT_EQ(fb.readPixel(1.0F, 2.0F), rgb(50, 60, 70));
    EXPECT_EQ(fb.readPixel(1.0F, 5.0F), rgb(1, 1, 1));
    EXPECT_EQ(fb.readPixel(3.0F, 3.0F), kOutside);
    fb.resize(5, 6);
    EXPECT_EQ(fb.readPixel(1.0F, 2.0F), rgb(50, 60, 70));
    EXPECT_EQ(fb.readPixel(3.0F, 3.0F), rgb(1, 1, 1));  // what was cut off does not come back
    EXPECT_EQ(damageOf(fb), (std::vector<Rect>{{0, 0, 5, 6}}));
}

// On a 32-bit target the largest picture's bytes wrap to nothing in a size_t: it is refused as out of
// memory, like a picture the system cannot give room for, and the picture stays as it was.
TEST(Framebuffer, APictureWhoseBytesCannotBeCountedIsOutOfMemory)
{
    if (sizeof(std::size_t) > 4) {
        GTEST_SKIP() << "a 64-bit size_t counts the bytes of every picture";
    }
    Framebuffer fb(5, 5);
    fb.setPixel(4.0F, 4.0F, rgb(7, 8, 9));
    EXPECT_THROW(fb.resize(Framebuffer::kMaxSide, Framebuffer::kMaxSide), std::bad_alloc);
    EXPECT_EQ(fb.width(), 5);
    EXPECT_EQ(fb.readPixel(4.0F, 4.0F), rgb(7, 8, 9));
}

TEST(Framebuffer, StoresPixelsAsXrgbWords)
{
    Framebuffer fb(2, 1);
    fb.setPixel(1.0F, 0.0F, rgb(0x11, 0x22, 0x33));
    EXPECT_EQ(fb.pixels()[1], 0x00112233U);
    EXPECT_EQ(Framebuffer::toColour(0x00112233U), rgb(0x11, 0x22, 0x33));
}

TEST(Framebuffer, DamageCoversChangedTilesMergedAlongRows)
{
    Framebuffer fb(100, 40);
    (void)damageOf(fb);  // the first size counts as all damaged
    EXPECT_FALSE(fb.damaged());

    fb.setPixel(0.0F, 0.0F, 0);  // the same colour again is no change
    EXPECT_FALSE(fb.damaged());

    fb.setPixel(5.0F, 5.0F, 1);
    fb.setPixel(20.0F, 3.0F, 1);   // the next tile along the row: merged
    fb.setPixel(99.0F, 39.0F, 1);  // the last, partial tile
    fb.setPixel(6.0F, 6.0F, 1);
    EXPECT_EQ(damageOf(fb), (std::vector<Rect>{{0, 0, 32, 16}, {96, 32, 4, 8}}));
    EXPECT_TRUE(damageOf(fb).empty());

    fb.setPixel(50.0F, 20.0F, 2);
    fb.clearSurface();
    EXPECT_EQ(damageOf(fb), (std::vector<Rect>{{0, 0, 100, 40}}));
}

TEST(Framebuffer, EveryChangedPixelLiesInsideTheDamage)
{
    Framebuffer fb(257, 131);
    (void)damageOf(fb);
    std::vector<std::pair<int, int>> changed;
    unsigned seed = 7;
    for (int k = 0; k < 300; ++k) {
        seed = seed * 1103515245U + 12345U;
        const int x = static_cast<int>((seed >> 8U) % 257U);
        const int y = static_cast<int>((seed >> 20U) % 131U);
        fb.setPixel(static_cast<float>(x), static_cast<float>(y), rgb(1, 2, 3));
        changed.emplace_back(x, y);
    }
    const std::vector<Rect> rects = damageOf(fb);
    for (const auto& [x, y] : changed) {
        bool covered = false;
        for (const Rect& r : rects) {
            covered = covered || (x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h);
        }
        EXPECT_TRUE(covered) << x << "," << y;
    }
    for (const Rect& r : rects) {
        EXPECT_LE(r.x + r.w, 257);
        EXPECT_LE(r.y + r.h, 131);
    }
}

// Memory as a host's store hands it out: each block recorded with its size, poisoned so that a picture
// relying on fresh memory shows it, and refused on demand.
class RecordingStore final : public PixelStore {
public:
    struct Block {
        std::unique_ptr<std::uint32_t[]> words;
        int width;
        int height;
        bool live;
    };
    std::uint32_t* allocate(int width, int height) override
    {
        if (refuse) {
            throw std::bad_alloc();
        }
        const auto n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        blocks.push_back({std::make_unique<std::uint32_t[]>(n), width, height, true});
        std::fill(blocks.back().words.get(), blocks.back().words.get() + n, 0xDEADBEEFU);
        return blocks.back().words.get();
    }
    void release(std::uint32_t* pixels, int width, int height) noexcept override
    {
        for (Block& b : blocks) {
            if (b.words.get() == pixels) {
                EXPECT_TRUE(b.live) << "released twice";
                EXPECT_EQ(b.width, width);
                EXPECT_EQ(b.height, height);
                b.live = false;
                return;
            }
        }
        ADD_FAILURE() << "released a block the store never gave out";
    }
    int live() const
    {
        return static_cast<int>(std::count_if(blocks.begin(), blocks.end(), [](const Block& b) { return b.live; }));
    }
    bool refuse = false;
    std::vector<Block> blocks;
};

TEST(FramebufferStore, PixelsLiveInTheStoreAcrossResizesAndEmptySizes)
{
    RecordingStore store;
    {
        Framebuffer fb(3, 2, rgb(1, 1, 1));
        fb.setPixel(2.0F, 1.0F, rgb(40, 50, 60));
        fb.usePixelStore(&store);
        ASSERT_EQ(store.blocks.size(), 1U);
        EXPECT_EQ(fb.pixels(), store.blocks[0].words.get());
        EXPECT_EQ(fb.readPixel(2.0F, 1.0F), rgb(40, 50, 60));
        EXPECT_EQ(fb.readPixel(0.0F, 0.0F), rgb(1, 1, 1));

        fb.resize(4, 4);  // a new block; the overlap comes along, the rest is the background
        ASSERT_EQ(store.blocks.size(), 2U);
        EXPECT_EQ(store.live(), 1);
        EXPECT_EQ(fb.pixels(), store.blocks[1].words.get());
        EXPECT_EQ(fb.readPixel(2.0F, 1.0F), rgb(40, 50, 60));
        EXPECT_EQ(fb.readPixel(3.0F, 3.0F), rgb(1, 1, 1));

        fb.resize(0, 5);  // empty: nothing is asked of the store
        EXPECT_EQ(store.blocks.size(), 2U);
        EXPECT_EQ(store.live(), 0);
        fb.resize(Framebuffer::kMaxSide + 9, 1);
        ASSERT_EQ(store.blocks.size(), 3U);
        EXPECT_EQ(store.blocks[2].width, Framebuffer::kMaxSide);

        const Framebuffer copy(fb);  // a copy takes its block from the same store
        EXPECT_EQ(store.live(), 2);
        fb.usePixelStore(nullptr);  // back to the heap, the picture unchanged
        EXPECT_EQ(store.live(), 1);
        EXPECT_EQ(fb.readPixel(70000.0F, 0.0F), kOutside);
        EXPECT_EQ(fb.readPixel(65535.0F, 0.0F), rgb(1, 1, 1));
    }
    EXPECT_EQ(store.live(), 0);
}

TEST(FramebufferStore, ARefusedResizeLeavesThePictureAsItWas)
{
    RecordingStore store;
    Framebuffer fb(5, 5);
    fb.usePixelStore(&store);
    fb.setPixel(4.0F, 4.0F, rgb(7, 8, 9));
    (void)damageOf(fb);
    store.refuse = true;
    EXPECT_THROW(fb.resize(50, 50), std::bad_alloc);
    EXPECT_EQ(fb.width(), 5);
    EXPECT_EQ(fb.readPixel(4.0F, 4.0F), rgb(7, 8, 9));
    EXPECT_FALSE(fb.damaged());
    store.refuse = false;
    fb.resize(6, 6);
    EXPECT_EQ(fb.readPixel(4.0F, 4.0F), rgb(7, 8, 9));
    EXPECT_EQ(store.live(), 1);
}

}  // namespace
}  // namespace zarvo
