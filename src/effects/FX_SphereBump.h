// A bumpy, twisted sphere added onto the picture in the lower right, strewn
// with screen-facing flares on its vertices, between a background and a
// masked foreground.  Everything fades out over 14 s from 149.3 s of music:
// brightness, flare intensity and turning speed follow one fade factor.
#pragma once

#include <cstdint>

#include "effects/Rhythm.h"
#include "effects/RingMesh.h"
#include "engine/DemoTypes.h"
#include "engine/IEffect.h"
#include "resources/LayerSet.h"

// Shape inputs of the sphere, single precision.
struct SphereBumpShape {
    float bumpAmplitude;    // depth of the radial bumps
    float bumpFrequency;    // bumps around each ring
    float twistFrequency;   // how fast the bumps twist from ring to ring
    float waveFrequency;    // vertical wave around each ring
    float waveAmplitude;    // its height
};

class FX_SphereBump : public IEffect {
public:
    static constexpr uint32_t kCapacity = 2000;   // vertices the buffers hold
    static constexpr uint32_t kRings = 27;
    static constexpr uint32_t kRingPoints = 31;   // the last lies on the first
    static constexpr uint32_t kVertexCount = kRings * kRingPoints;
    static constexpr uint32_t kStripIndices = 2 * (kVertexCount - kRingPoints);
    // Flares sit on the vertices i < indexCount - kFlareShortfall (832 of them).
    static constexpr uint32_t kFlareShortfall = 780;

    explicit FX_SphereBump(DemoContext& demo);

    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void start() override;
    void init() override;
    DataFileNeeds dataFiles() const override;
    void release() override;

    // Rings, strip indices and summed normals (normals zero on entry, room for
    // kCapacity vertices); returns the strip's index count.
    static uint32_t buildMesh(const SphereBumpShape& shape, Vec3* vertices, Vec3* normals, uint32_t* indices);
    // 1 at 149300 ms, 0 at 163300 ms; before the fade the unsigned difference
    // wraps and the factor is anything between -1 and 1.
    static float fade(uint32_t t);
    // Sphere colour for fade c: never quite black, so the shape stays visible.
    static Vec3 tint(float c);
    // Brightness of flare i of a strip of indexCount indices, for fade c.
    static float flareBrightness(uint32_t i, uint32_t indexCount, float c);

    // The turn and spin rhythm of one frame; needs no GL.
    void advance(uint32_t t, uint32_t dt);

    const Vec3* vertices() const { return vertices_; }
    const Camera& camera() const { return camera_; }

private:
    DemoContext& demo_;
    Rhythm    rhythm_;                 // 200 ms spins after 400 ms rests
    uint32_t  flareTexture_ = 0;       // "sphereb/FLARE.png", alive until the process ends
    uint32_t  texture_ = 0;            // "sphereb/textura.png", alive until the process ends
    LayerSet  layers_;                 // layer set 6
    uint32_t  flareList_ = 0;          // display list of the flare quad
    uint32_t* indices_ = nullptr;      // capacity * 6, owned until release
    uint32_t  capacity_ = 0;           // vertices, 2000 after init
    uint32_t  indexCount_ = 0;         // strip indices, 1612 once built
    SphereBumpShape shape_{-2.05f, -4.8f, 4.3f, 1.0f, 0.0f};
    Camera    camera_{};
    Vec3*     vertices_ = nullptr;     // capacity entries, owned until release
    Vec3*     normals_ = nullptr;      // capacity entries, owned until release
};
