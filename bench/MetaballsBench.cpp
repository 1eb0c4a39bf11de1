// Per-frame CPU work of the metaballs: field, marching cubes and normals.
#include <benchmark/benchmark.h>

#include "effects/FX_Metaballs.h"

using namespace metaballs;

namespace {

// The ball clock of a 60 Hz show: 3.6 radians per second.
constexpr float kMotionPerFrame = 3.6f / 60.0f;

struct Buffers {
    MetaballGrid* grid = allocGrid();
    MetaballMesh* mesh = allocMesh(kMeshCapacity);
    float         squares[kGridSize];
    Buffers() { fillSquares(squares); }
    ~Buffers() {
        freeGrid(grid);
        freeMesh(mesh);
    }
};

void BM_MetaballsFrame(benchmark::State& state) {
    Buffers b;
    float s = 0.0f;
    for (auto _ : state) {
        buildSurface(*b.grid, *b.mesh, b.squares, s);
        benchmark::DoNotOptimize(b.mesh->vertexCount);
        s += kMotionPerFrame;
    }
    state.counters["triangles"] = double(b.mesh->vertexCount / 3);
}
BENCHMARK(BM_MetaballsFrame);

void BM_MetaballsField(benchmark::State& state) {
    Buffers b;
    placeBalls(*b.grid, 1.0f);
    for (auto _ : state) {
        evaluateField(*b.grid, b.squares);
        benchmark::DoNotOptimize(b.grid->values[kGridPoints / 2]);
    }
}
BENCHMARK(BM_MetaballsField);

void BM_MetaballsMarchingCubes(benchmark::State& state) {
    Buffers b;
    placeBalls(*b.grid, 1.0f);
    evaluateField(*b.grid, b.squares);
    for (auto _ : state) {
        extractSurface(*b.grid, *b.mesh);
        benchmark::DoNotOptimize(b.mesh->vertexCount);
    }
}
BENCHMARK(BM_MetaballsMarchingCubes);

}  // namespace
