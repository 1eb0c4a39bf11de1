// The landscape is built once; a frame is one rotation and one draw, so the
// init (grid, indices, normals from the height map) is the cost to watch.
#include <cmath>
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "effects/FX_Velmor.h"

static void BM_VelmorMeshBuild(benchmark::State& state) {
    std::vector<uint8_t> map(FX_Velmor::kMapBytes);
    for (uint32_t i = 0; i < map.size(); ++i) map[i] = uint8_t(60 + 50 * std::sin(i * 0.013));
    std::vector<Vec3> vertices(FX_Velmor::kCapacity), normals(FX_Velmor::kCapacity);
    std::vector<uint32_t> indices(FX_Velmor::kCapacity * 6);
    for (auto _ : state) {
        std::memset(normals.data(), 0, normals.size() * sizeof(Vec3));
        benchmark::DoNotOptimize(FX_Velmor::buildMesh(map.data(), vertices.data(), normals.data(), indices.data()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_VelmorMeshBuild)->Unit(benchmark::kMillisecond);

static void BM_VelmorFrameCpu(benchmark::State& state) {
    uint32_t t = 11429;
    for (auto _ : state) benchmark::DoNotOptimize(FX_Velmor::heading(t += 16));
}
BENCHMARK(BM_VelmorFrameCpu);
