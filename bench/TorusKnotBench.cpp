// The knot is rebuilt on every drawn frame: clear the normals, lay 360 rings
// of 16 points along the curve, triangulate and sum 11520 face normals.
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "effects/FX_TorusKnot.h"

static void BM_TorusKnotFrameRebuild(benchmark::State& state) {
    std::vector<Vec3> vertices(FX_TorusKnot::kCapacity), normals(FX_TorusKnot::kCapacity);
    std::vector<uint32_t> indices(FX_TorusKnot::kCapacity * 6);
    KnotShape shape{3, 2, 0.0f, 24.0f, 0.11f, 3.6f};
    for (auto _ : state) {
        shape.phase += 0.0024f;   // one 40 ms frame of bulge drift
        std::memset(normals.data(), 0, normals.size() * sizeof(Vec3));
        benchmark::DoNotOptimize(FX_TorusKnot::buildKnot(shape, vertices.data(), normals.data(), indices.data()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TorusKnotFrameRebuild);
