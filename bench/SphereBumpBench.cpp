// The sphere is static; its per-frame CPU work is the fade and the 832 flare
// brightnesses.  The mesh build is the one-off init cost.
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "effects/FX_SphereBump.h"

static void BM_SphereBumpMeshBuild(benchmark::State& state) {
    std::vector<Vec3> vertices(FX_SphereBump::kCapacity), normals(FX_SphereBump::kCapacity);
    std::vector<uint32_t> indices(FX_SphereBump::kCapacity * 6);
    const SphereBumpShape shape{-2.05f, -4.8f, 4.3f, 1.0f, 0.0f};
    for (auto _ : state) {
        std::memset(normals.data(), 0, normals.size() * sizeof(Vec3));
        benchmark::DoNotOptimize(FX_SphereBump::buildMesh(shape, vertices.data(), normals.data(), indices.data()));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_SphereBumpMeshBuild);

static void BM_SphereBumpFrameCpu(benchmark::State& state) {
    DemoContext demo;
    FX_SphereBump sphere(demo);
    uint32_t t = 149300;
    const uint32_t n = FX_SphereBump::kStripIndices;
    for (auto _ : state) {
        t += 16;
        if (t > 163300) t = 149300;
        sphere.advance(t, 16);
        const float c = FX_SphereBump::fade(t);
        float total = 0.0f;
        for (uint32_t i = 0; i < n - FX_SphereBump::kFlareShortfall; ++i)
            total += FX_SphereBump::flareBrightness(i, n, c);
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_SphereBumpFrameCpu);
