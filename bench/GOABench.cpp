// The interference landscape: the two ring images are made once in init; each
// frame slides the windows, sums them into the height field and turns.
#include <vector>

#include <benchmark/benchmark.h>

#include "effects/FX_GOA.h"

static void BM_GoaRingsInit(benchmark::State& state) {
    std::vector<uint8_t> rings(FX_GOA::kRingBytes);
    for (auto _ : state) {
        FX_GOA::fillRings(rings.data(), FX_GOA::kRingSide);   // init makes two of these
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GoaRingsInit)->Unit(benchmark::kMillisecond);

static void BM_GoaFrameCpu(benchmark::State& state) {
    std::vector<uint8_t> a(FX_GOA::kRingBytes), b(FX_GOA::kRingBytes), field(FX_GOA::kFieldBytes);
    FX_GOA::fillRings(a.data(), FX_GOA::kRingSide);
    FX_GOA::fillRings(b.data(), FX_GOA::kRingSide);
    DemoContext demo;
    FX_GOA goa(demo);
    uint32_t t = 68571;
    for (auto _ : state) {
        t += 16;
        FX_GOA::sumWindows(a.data(), b.data(), FX_GOA::windowsAt(t), field.data());
        goa.turn(t, 16);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_GoaFrameCpu)->Unit(benchmark::kMicrosecond);
