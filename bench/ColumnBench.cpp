// The column is rebuilt every frame: clear the normals, 4880 vertices, 9600
// strip indices and their summed normals.
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "effects/FX_Column.h"

static void BM_ColumnFrameCpu(benchmark::State& state) {
    std::vector<Vec3> vertices(FX_Column::kCapacity), normals(FX_Column::kCapacity);
    std::vector<uint32_t> indices(FX_Column::kCapacity * 6);
    uint32_t t = 102857;
    for (auto _ : state) {
        t += 16;
        std::memset(normals.data(), 0, normals.size() * sizeof(Vec3));
        const ColumnShape shape = FX_Column::shapeAt(t);
        benchmark::DoNotOptimize(
            FX_Column::buildTube(shape, FX_Column::kCapacity, vertices.data(), normals.data(), indices.data()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ColumnFrameCpu)->Unit(benchmark::kMicrosecond);
