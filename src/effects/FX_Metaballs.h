// Five blobs that melt into one lit, textured surface, between the picture
// layers of set 3.  Every frame the field of the five balls is sampled on a
// 32^3 grid and the iso-surface is cut out of it with marching cubes; nothing
// of the surface survives into the next frame.
#pragma once

#include <cstdint>

#include "effects/Rhythm.h"
#include "engine/DemoTypes.h"
#include "engine/IEffect.h"
#include "resources/LayerSet.h"

namespace metaballs {

constexpr int      kGridSize = 32;                                  // samples per axis
constexpr int      kGridPoints = kGridSize * kGridSize * kGridSize;   // 32768
constexpr int      kBallCount = 5;
constexpr int      kBallSlots = 8;        // room in the grid record; kBallCount used
constexpr float    kIsoLevel = 0.12f;     // a sample above this is inside the surface
constexpr uint32_t kMeshCapacity = 6000;  // triangles; the ball paths stay near 2400

// The classic marching-cubes tables.  Corner c of a cell is bit c of the cube
// index; edge e is bit e of an edge mask; a triangle row lists up to five edge
// triples and ends with -1.
extern const uint16_t kEdgeTable[256];
extern const int8_t   kTriangleTable[256][16];
// Corner offsets (dx, dy, dz) of a cell in the numbering the tables expect,
// and the two corners each edge runs between (first to second).
extern const uint8_t  kCornerOffset[8][3];
extern const uint8_t  kEdgeCorners[12][2];

// Field samples and ball data; a plain record so allocZeroed can make it.
struct MetaballGrid {
    float*   values;                 // kGridPoints field values, index z*1024 + y*32 + x; owned
    uint8_t* inside;                 // 1 where value > kIsoLevel, same indexing; owned
    float    ballX[kBallSlots];      // ball centres, grid units
    float    ballY[kBallSlots];
    float    ballZ[kBallSlots];
    float    ballXSquared[kBallSlots];   // ballX^2, refreshed before each evaluation
    float    ballXTwice[kBallSlots];     // 2 * ballX, refreshed likewise
};

// Triangle output: three vertices per triangle, one normal per vertex.
struct MetaballMesh {
    float*   vertices;      // capacity * 3 points (x, y, z), grid units; owned
    float*   normals;       // capacity * 3 unit vectors; owned
    uint32_t vertexCount;   // a multiple of 3
    uint32_t capacity;      // triangles
};

// Allocation from zero-filled blocks; free* accept null and partial records.
MetaballGrid* allocGrid();
void          freeGrid(MetaballGrid* grid);
MetaballMesh* allocMesh(uint32_t capacity);
void          freeMesh(MetaballMesh* mesh);

// squares[i] = i^2, the table the field builds its distances from.
void fillSquares(float squares[kGridSize]);

// Ball centres for motion parameter s (radians).
void placeBalls(MetaballGrid& grid, float s);

// Samples the field of the placed balls into values and inside.
void evaluateField(MetaballGrid& grid, const float squares[kGridSize]);

// Marching cubes over all 31^3 cells into mesh (vertexCount restarts at 0).
// Triangles face away from the inside.  Stops emitting at the capacity.
void extractSurface(const MetaballGrid& grid, MetaballMesh& mesh);

// One unit normal per vertex, pointing towards the ball centres.
void computeNormals(const MetaballGrid& grid, MetaballMesh& mesh);

// The whole per-frame CPU work: balls, field, surface, normals.
void buildSurface(MetaballGrid& grid, MetaballMesh& mesh, const float squares[kGridSize], float s);

}  // namespace metaballs

class FX_Metaballs : public IEffect {
public:
    // 500 ms rest, then a 200 ms quick turn in steps at least 10 ms apart.
    static constexpr RhythmTiming kRhythm = {500, 200, true};

    explicit FX_Metaballs(DemoContext& demo);
    void render(uint32_t time_ms, uint32_t delta_ms) override;
    void start() override;
    void init() override;
    DataFileNeeds dataFiles() const override;
    void release() override;

    // The per-frame motion without any drawing: rhythm, ball clock, angleY.
    void advance(uint32_t time_ms, uint32_t delta_ms);

    const Camera& camera() const { return camera_; }

private:
    DemoContext&             demo_;
    Rhythm                   rhythm_{kRhythm};
    float                    spinAngle_ = 0.0f;    // extra turn about y, degrees
    float                    motionTime_ = 0.0f;   // ball path parameter, radians; 3.6 per second
    float                    squares_[metaballs::kGridSize] = {};
    LayerSet                 layers_;
    uint32_t                 texture_ = 0;         // GL name of "metaballs/textura.png", never freed
    metaballs::MetaballGrid* grid_ = nullptr;      // owned from init until release
    metaballs::MetaballMesh* mesh_ = nullptr;      // owned from init until release
    Camera                   camera_ = {};
};
