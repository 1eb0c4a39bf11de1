// A lit, sphere-mapped column between the picture layers of set 4: a tube
// whose radius ripples round its circumference, twists with height, bulges in
// rings along its length and whose rings wave up and down.  The whole tube is
// rebuilt every frame from the music time into buffers sized once in init.
#pragma once

#include <cstdint>

#include "effects/RingMesh.h"
#include "engine/DemoTypes.h"
#include "engine/IEffect.h"
#include "resources/LayerSet.h"

// Inputs of the tube generator, single precision, in the generator's order.
struct ColumnShape {
    float bumpAmplitude;    // depth of the ripple round each ring
    float bumpFrequency;    // ripples per radian
    float twistFrequency;   // how fast the ripple turns with height, per unit
    float waveFrequency;    // up-and-down waves round each ring
    float waveAmplitude;    // their height, units
    float bulgeFrequency;   // bulges along the column, radians per unit
    float baseRadius;       // units
    float bulgeAmplitude;   // units
    float bulgePhase;       // radians
};

class FX_Column : public IEffect {
public:
    static constexpr uint32_t kCapacity = 15000;   // vertices the buffers hold
    static constexpr uint32_t kRings = 61;         // y = -3 ... 2.9999988
    static constexpr uint32_t kRingPoints = 80;    // evenly round, none repeated
    static constexpr uint32_t kVertexCount = kRings * kRingPoints;                  // 4880
    static constexpr uint32_t kStripIndices = 2 * (kVertexCount - kRingPoints);   // 9600

    explicit FX_Column(DemoContext& demo);

    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void start() override;
    void init() override;
    DataFileNeeds dataFiles() const override;
    void release() override;

    // The shape at music time t.
    static ColumnShape shapeAt(uint32_t t);
    // Rings into vertices, strip indices and summed normals (normals zero on
    // entry).  Only whole rings that fit in capacity vertices are made (and
    // 6 * capacity indices always suffice); returns the strip's index count.
    static uint32_t buildTube(const ColumnShape& shape, uint32_t capacity, Vec3* vertices, Vec3* normals,
                              uint32_t* indices);

    uint32_t texture() const { return texture_; }

private:
    DemoContext& demo_;
    uint32_t*   indices_ = nullptr;   // capacity * 6 entries, owned until release
    uint32_t    texture_ = 0;         // "column/textura.png", alive until the process ends
    LayerSet    layers_;              // layer set 4
    uint32_t    capacity_ = 0;        // vertices, kCapacity after init
    uint32_t    vertexCount_ = 0;     // strip indices of the last build, 9600
    Vec3*       vertices_ = nullptr;  // capacity entries, owned until release
    Vec3*       normals_ = nullptr;   // capacity entries, cleared every frame, owned until release
    ColumnShape shape_{};             // recomputed every frame
    Camera      camera_{};
};
