// Per-frame CPU work of the fan of bars: the beat, the 70 bar centres and
// the common step they all take after the frame.
#include <benchmark/benchmark.h>

#include "effects/FX_Lines.h"

namespace {

void BM_LinesFrame(benchmark::State& state) {
    DemoContext demo;
    FX_Lines lines(demo);
    lines.placeBars();
    uint32_t t = 51429;
    for (auto _ : state) {
        t += 16;
        lines.pulse(t);
        float sum = 0.0f;
        for (uint32_t i = 0; i < FX_Lines::kLineCount; ++i) {
            const Vec3 c = lines.barCentre(i);
            sum += c.x + c.y + c.z + lines.barStep(i);
        }
        lines.settle(t);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_LinesFrame);

}  // namespace
