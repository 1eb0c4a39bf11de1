// Per-frame CPU work of the cube morph: 1536 cells morphed and split into
// 3072 flat-shaded triangles (what the effect hands to immediate mode).
#include <benchmark/benchmark.h>

#include "effects/FX_CubeMorph.h"

using namespace cubemorph;

namespace {

void BM_CubeMorphFrame(benchmark::State& state) {
    float phase = 30.0f;
    for (auto _ : state) {
        float sum = 0.0f;
        buildCube(attractorsAt(phase), [&sum](const CubeTriangle& t) {
            sum += t.normal.x + t.corner[0].y + t.corner[2].z;
        });
        benchmark::DoNotOptimize(sum);
        phase += 0.025f;   // 1.5 per second at 60 Hz
    }
}
BENCHMARK(BM_CubeMorphFrame);

}  // namespace
