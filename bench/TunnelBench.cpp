// The tunnel builds its tube once at init; this is that one-off cost.
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "effects/FX_Tunnel.h"

static void BM_TunnelMeshBuild(benchmark::State& state) {
    std::vector<Vec3> vertices(FX_Tunnel::kCapacity), normals(FX_Tunnel::kCapacity);
    std::vector<uint32_t> indices(FX_Tunnel::kCapacity * 6);
    for (auto _ : state) {
        std::memset(normals.data(), 0, normals.size() * sizeof(Vec3));
        benchmark::DoNotOptimize(FX_Tunnel::buildMesh(vertices.data(), normals.data(), indices.data()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TunnelMeshBuild);

static void BM_TunnelBandLookup(benchmark::State& state) {
    float eye = 1000.0f;
    for (auto _ : state) {
        eye -= 0.6f;
        if (eye < -100.0f) eye = 1000.0f;
        benchmark::DoNotOptimize(FX_Tunnel::firstBand(eye));
    }
}
BENCHMARK(BM_TunnelBandLookup);
