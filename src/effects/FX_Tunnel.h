// Flight down a lobed, wobbling tube.  The tube is built once; each frame
// draws only the two bands in front of the camera, rolls the view and moves
// the camera on.  Fog hides everything past the second band.
#pragma once

#include <cstdint>

#include "effects/RingMesh.h"
#include "engine/DemoTypes.h"
#include "engine/IEffect.h"

class FX_Tunnel : public IEffect {
public:
    static constexpr uint32_t kCapacity = 5000;      // vertices the buffers hold
    static constexpr uint32_t kRings = 21;           // z = 1000, 950, ... 0
    static constexpr uint32_t kRingPoints = 61;      // last point repeats the first
    static constexpr uint32_t kVertexCount = kRings * kRingPoints;
    static constexpr uint32_t kIndicesPerBand = 6 * kRingPoints;
    static constexpr uint32_t kLastBand = kRings - 1;   // joins ring 20 back to ring 0

    explicit FX_Tunnel(DemoContext& demo);

    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void start() override;
    void init() override;
    DataFileNeeds dataFiles() const override;
    void release() override;

    // The tube's rings with lobe parameters p and q into vertices (room for
    // kCapacity); returns the number of points made.
    static uint32_t buildRings(Vec3* vertices, float p, float q);
    // Rings, then indices and summed normals (normals zero on entry); returns
    // the index count.
    static uint32_t buildMesh(Vec3* vertices, Vec3* normals, uint32_t* indices);
    // The band that holds a camera at eyeZ, the first of the two drawn.
    static uint32_t firstBand(float eyeZ);

    const Camera& camera() const { return camera_; }
    uint32_t texture() const { return texture_; }

private:
    DemoContext& demo_;
    Vec3*        vertices_ = nullptr;   // kCapacity entries, owned until release
    Vec3*        normals_ = nullptr;    // kCapacity entries, owned until release
    Camera       camera_{};             // eye z moves on with every frame, never reset
    uint32_t     texture_ = 0;          // "tunnel/textura.png", alive until the process ends
    uint32_t     indicesPerBand_ = 0;   // 366 once built
    uint32_t*    indices_ = nullptr;    // kCapacity * 6 entries, owned until release
    uint32_t     capacity_ = 0;         // vertices, 0 until init
};
