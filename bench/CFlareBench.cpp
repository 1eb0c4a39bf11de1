// Per-frame CPU work of the flare cube: the field over 4096 grid points
// (three divisions each), the look of the 3375 drawn sprites, and the balls'
// next positions.  The GL side (a matrix read-back per sprite) is not here.
#include <vector>

#include <benchmark/benchmark.h>

#include "effects/FX_CFlare.h"

using namespace cflare;

namespace {

void BM_CFlareFrame(benchmark::State& state) {
    float squares[kGrid];
    for (int k = 0; k < kGrid; ++k) squares[k] = float(k * k);
    std::vector<float> field(kCells);
    float phase = 0.0f;
    for (auto _ : state) {
        computeField(ballsAt(phase), squares, field.data());
        float sum = 0.0f;
        forEachSprite(field.data(), [&sum](int, int, int, SpriteLook look) { sum += look.colour.x + look.size; });
        benchmark::DoNotOptimize(sum);
        phase += 0.016f;
    }
}
BENCHMARK(BM_CFlareFrame);

}  // namespace
