// A lit, textured cube of small triangles whose corners two circling
// attractors pull towards the centre, so dents run over the faces and the
// outline squeezes.  It turns about all three axes and jolts on the beat:
// each pulse turns it a little at once and races the attractors for a fifth
// of a second.  Layer set 5 frames it.  Rebuilt every frame, immediate mode.
#pragma once

#include <cstdint>

#include "effects/RingMesh.h"
#include "effects/Rhythm.h"
#include "engine/DemoTypes.h"
#include "engine/IEffect.h"
#include "resources/LayerSet.h"

namespace cubemorph {

constexpr int      kCellsPerEdge = 16;                                  // cells along each face edge
constexpr float    kCellSize = 0.125f;                                  // cube spans -1 ... 1
constexpr int      kFaces = 6;
constexpr uint32_t kTriangleCount = kFaces * kCellsPerEdge * kCellsPerEdge * 2;   // 3072
constexpr float    kNearLimit = 1.25f;   // 1 / distance above this pulls a corner in (closer than 0.8)
constexpr float    kFarLimit = 1.25f;    // distance to B above this pulls a corner in

// The two points that dent the cube; they circle the centre as the phase grows.
struct Attractors {
    Vec3 a;
    Vec3 b;
};

Attractors attractorsAt(float phase);

// Where a corner of the undeformed cube ends up: scaled towards the centre
// by A's near rule, then B's near rule, then B's far rule.
Vec3 morphCorner(Vec3 q, const Attractors& at);

// The four undeformed corners of one cell of a face (0 ... 5, in drawing
// order) whose grid position is (u, v), each in -1 ... 0.875.
void cellCorners(int face, float u, float v, Vec3 q[4]);

// One flat-shaded triangle as it goes to GL: the normal first, then three
// corners with their texture coordinates.
struct CubeTriangle {
    Vec3  normal;        // unit length (zero for a collapsed triangle)
    Vec3  corner[3];     // clockwise seen from outside
    float tex[3][2];     // (s, t); they run -1 ... 1 over each face
};

// Builds the whole morphed cube, calling sink(const CubeTriangle&) for each
// of the kTriangleCount triangles in drawing order: rows v, cells u, faces.
template <class Sink>
void buildCube(const Attractors& at, Sink&& sink) {
    for (float v = -1.0f; v < 1.0f; v += kCellSize) {
        for (float u = -1.0f; u < 1.0f; u += kCellSize) {
            for (int face = 0; face < kFaces; ++face) {
                Vec3 q[4];
                cellCorners(face, u, v, q);
                for (Vec3& corner : q) corner = morphCorner(corner, at);
                const float s0 = u, s1 = u + kCellSize, t0 = v, t1 = v + kCellSize;
                sink(CubeTriangle{unitFaceNormal(q[0], q[1], q[2]), {q[0], q[1], q[2]},
                                  {{s0, t0}, {s1, t0}, {s0, t1}}});
                sink(CubeTriangle{unitFaceNormal(q[2], q[1], q[3]), {q[2], q[1], q[3]},
                                  {{s0, t1}, {s1, t0}, {s1, t1}}});
            }
        }
    }
}

}  // namespace cubemorph

class FX_CubeMorph : public IEffect {
public:
    // 500 ms rest, then a 200 ms pulse stepping the phase at most every 10 ms.
    static constexpr RhythmTiming kRhythm = {500, 200, true};

    explicit FX_CubeMorph(DemoContext& demo);
    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void start() override;
    void init() override;
    DataFileNeeds dataFiles() const override;

    // The beat part of a frame at music time t: pulse start and phase steps.
    void pulse(uint32_t time_ms);
    // The end-of-frame drift: the turn and the phase grow with the frame time.
    void drift(uint32_t delta_ms);

    uint32_t texture() const { return texture_; }

private:
    DemoContext& demo_;
    float        phase_ = 30.0f;   // moves the attractors, radians-ish; never reset
    uint32_t     texture_ = 0;     // GL name of "cubem/textura.png", never freed
    LayerSet     layers_;
    Rhythm       rhythm_{kRhythm};
    Camera       camera_ = {};
};
