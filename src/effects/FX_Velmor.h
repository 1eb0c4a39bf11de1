// Hills from a height map, turning slowly under a camera that stands among
// them.  The ground texture is laid on by object planes; a shine picture is
// added on the second texture unit by sphere mapping.  The mesh is built once
// and drawn each frame with one indexed call from client arrays.
#pragma once

#include <cstdint>

#include "effects/RingMesh.h"
#include "engine/DemoTypes.h"
#include "engine/IEffect.h"

class FX_Velmor : public IEffect {
public:
    static constexpr uint32_t kMapSide = 512;                    // height map rows and columns
    static constexpr uint32_t kMapBytes = kMapSide * kMapSide;   // 262144, no header
    static constexpr uint32_t kCapacity = 30000;                 // vertices the buffers hold
    static constexpr uint32_t kGridSide = 102;                   // every fifth row and column
    static constexpr uint32_t kVertexCount = kGridSide * kGridSide;   // 10404
    static constexpr uint32_t kIndexCount = 6 * kVertexCount;         // 62424

    explicit FX_Velmor(DemoContext& demo);

    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void start() override;
    void init() override;
    DataFileNeeds dataFiles() const override;
    void release() override;

    // Grid vertices sampled from a kMapBytes height map, then indices and
    // summed normals (normals zero on entry, room for kCapacity vertices);
    // returns the vertex count.
    static uint32_t buildMesh(const uint8_t* heightMap, Vec3* vertices, Vec3* normals, uint32_t* indices);
    // Heading of the landscape at music time t, degrees about y.
    static float heading(uint32_t t);

    uint32_t vertexCount() const { return vertexCount_; }
    const Vec3* vertices() const { return vertices_; }
    uint32_t groundTexture() const { return groundTexture_; }
    uint32_t shineTexture() const { return shineTexture_; }

private:
    DemoContext& demo_;
    uint8_t*  heightMap_ = nullptr;   // kMapBytes, "velm/canon.raw", owned until release
    uint32_t  vertexCount_ = 0;       // 10404 once built
    uint32_t* indices_ = nullptr;     // capacity * 6 entries, owned until release
    uint32_t  capacity_ = 0;          // vertices, kCapacity after init
    uint32_t  groundTexture_ = 0;     // "velm/textura.png", alive until the process ends
    uint32_t  shineTexture_ = 0;      // "velm/brillo.png", alive until the process ends
    Camera    camera_{};
    Vec3*     vertices_ = nullptr;    // capacity entries, owned until release
    Vec3*     normals_ = nullptr;     // capacity entries, owned until release
};
