// A lit, textured tube wound along a (p, q) knot, rebuilt every frame.  On
// every beat the screen flashes white, p or q grows by one, the tube thins,
// its bulges and lobes get fewer, and the knot spins about x for a moment.
#pragma once

#include <cstdint>

#include "effects/Rhythm.h"
#include "effects/RingMesh.h"
#include "engine/DemoTypes.h"
#include "engine/IEffect.h"
#include "resources/LayerSet.h"

// The tube's shape inputs, all single precision.
struct KnotShape {
    float p;                     // turns about the y axis
    float q;                     // windings through the hole
    float phase;                 // radians, slides the bulges along the tube
    float radiusWaveFrequency;   // bulges along the whole knot
    float tubeRadius;            // mean tube radius
    float lobeFrequency;         // lobes of the cross-section (need not be whole)
};

class FX_TorusKnot : public IEffect {
public:
    static constexpr uint32_t kCapacity = 20000;   // vertices the buffers hold
    static constexpr uint32_t kRingPoints = 16;
    static constexpr uint32_t kRings = 360;
    static constexpr uint32_t kVertexCount = kRings * kRingPoints;
    static constexpr uint32_t kFlashMs = 50;

    explicit FX_TorusKnot(DemoContext& demo);

    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void start() override;
    void init() override;
    DataFileNeeds dataFiles() const override;
    void release() override;

    // Tube around the knot into vertices, indices and normals (normals zero on
    // entry; room for kCapacity vertices); returns the triangle count.
    static uint32_t buildKnot(const KnotShape& shape, Vec3* vertices, Vec3* normals, uint32_t* indices);

    // The beat logic of one frame at music time t: the turn, the bulge phase,
    // the spin steps and, on a beat, the next shape.  Needs no GL.
    void beat(uint32_t t);

    KnotShape shape() const;
    uint32_t p() const { return p_; }
    uint32_t q() const { return q_; }
    bool flashing() const { return flashing_; }
    const Camera& camera() const { return camera_; }

private:
    DemoContext& demo_;
    float     phase_ = 0.0f;                  // music time * 0.00006
    float     radiusWaveFrequency_ = 32.0f;   // down by 2 per beat, stops at 2
    float     tubeRadius_ = 0.15f;            // down by 0.005 per beat, stops near 0.05
    float     lobeFrequency_ = 4.0f;          // down by 0.05 per beat, stops near 1
    float     spinY_ = 0.0f;                  // degrees, grows with every spin step
    uint32_t  texture_ = 0;                   // "pqknot/textura.png", alive until the process ends
    LayerSet  layers_;                        // layer set 8
    uint32_t  triangleCount_ = 0;             // 11520 once built
    uint32_t  p_ = 1;
    uint32_t  q_ = 0;
    uint32_t* indices_ = nullptr;             // capacity * 6, owned until release
    uint32_t  capacity_ = 0;                  // vertices, 0 until init
    Rhythm    rhythm_;                        // beats 500 ms apart, 200 ms spins
    Camera    camera_{};
    Vec3*     vertices_ = nullptr;            // capacity entries, owned until release
    Vec3*     normals_ = nullptr;             // capacity entries, owned until release
    bool      alternate_ = false;             // the next beat grows q (else p)
    bool      flashing_ = false;              // inside the white flash after a beat
};
