// Cost of one timer tick (126 paints and the moves between them) on a window-sized in-memory picture.
#include "core/framebuffer.hpp"
#include "core/frm.hpp"
#include "core/paint.hpp"
#include "core/runtime.hpp"

#include <benchmark/benchmark.h>

namespace {

void BM_Tick(benchmark::State& state)
{
    zarvo::Framebuffer picture(503, 380);
    zarvo::Generator random;
    zarvo::Frm frm(picture, random);
    frm.onResize();
    for (auto _ : state) {
        frm.onTick();
        benchmark::DoNotOptimize(frm.segX.data());
    }
    state.SetItemsProcessed(state.iterations() * 126);
}
BENCHMARK(BM_Tick);

// One nudge of a pixel colour, the painter's arithmetic alone.
void BM_NudgeColour(benchmark::State& state)
{
    zarvo::Colour c = 0x123456;
    for (auto _ : state) {
        c = zarvo::nudgeColour(c, 200, 10, 128);
        benchmark::DoNotOptimize(c);
    }
}
BENCHMARK(BM_NudgeColour);

}  // namespace

BENCHMARK_MAIN();
