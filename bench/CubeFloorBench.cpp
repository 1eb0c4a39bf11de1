// Per-frame CPU work of the cube floor at 60 frames a second: the beat, a
// kick pass (64 draws) every fourth frame, the sinking, and the walk over the
// boxes bright enough to draw.
#include <benchmark/benchmark.h>

#include "effects/FX_CubeFloor.h"

namespace {

void BM_CubeFloorFrame(benchmark::State& state) {
    DemoContext demo;
    FX_CubeFloor floor(demo);
    uint32_t t = 108571;
    for (auto _ : state) {
        t += 16;
        floor.advance(t, 16);
        float sum = 0.0f;
        floor.forEachVisibleBox([&sum](const cubefloor::Box& box) { sum += box.brightness + box.height; });
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_CubeFloorFrame);

}  // namespace
