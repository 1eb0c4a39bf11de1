#include "effects/FX_Metaballs.h"

#include <set>

#include "EffectTestData.h"

using namespace metaballs;
using namespace hlvtest;

static void writeMetaballsData(const TempDataFolder& folder) { writeLayerSet(folder, 3, "metaballs/textura.png"); }

TEST(MetaballsTables, EdgeMasksAndTriangleRowsMatchTheCornerSigns) {
    auto midpoint = [](int e, int axis) { return kCornerOffset[kEdgeCorners[e][0]][axis] + kCornerOffset[kEdgeCorners[e][1]][axis]; };
    for (int cube = 0; cube < 256; ++cube) {
        SCOPED_TRACE(cube);
        // An edge crosses the surface exactly when its two corners disagree.
        unsigned crossing = 0, used = 0;
        for (int e = 0; e < 12; ++e)
            if (((cube >> kEdgeCorners[e][0]) ^ (cube >> kEdgeCorners[e][1])) & 1) crossing |= 1u << e;
        EXPECT_EQ(kEdgeTable[cube], crossing);

        // The row's triangles use exactly those edges and leave no hole inside the cell: a
        // side is walked once each way, or lies on a cell face (the neighbour continues it).
        std::multiset<std::pair<int, int>> sides;
        int i = 0;
        for (const int8_t* row = kTriangleTable[cube]; i < 16 && row[i] != -1; i += 3)
            for (int k = 0; k < 3; ++k) used |= 1u << row[i + k], sides.insert({row[i + k], row[i + (k + 1) % 3]});
        ASSERT_LT(i, 16) << "row not ended by -1";
        EXPECT_EQ(used, crossing);
        for (auto [a, b] : sides) {
            bool onFace = sides.count({b, a}) > 0;
            for (int axis = 0; axis < 3; ++axis) onFace |= midpoint(a, axis) == midpoint(b, axis) && midpoint(a, axis) != 1;
            EXPECT_TRUE(sides.count({a, b}) == 1 && onFace) << "side " << a << "-" << b;
        }
    }
}

TEST(MetaballsSurface, FiveBallsAtTheStartOfTheirPathsAndAMeshThatStopsAtItsCapacity) {
    MetaballGrid* grid = allocGrid();
    MetaballMesh* mesh = allocMesh(kMeshCapacity);
    float squares[kGridSize];
    fillSquares(squares);
    buildSurface(*grid, *mesh, squares, 0.0f);
    // Ball 3 starts on the sample (10, 10, 10): infinitely strong there, and inside.
    const int onBall = (10 * kGridSize + 10) * kGridSize + 10;
    EXPECT_TRUE(std::isinf(grid->values[onBall]) && grid->inside[onBall] == 1);
    uint32_t top = 0;
    for (uint32_t v = 0; v < mesh->vertexCount; ++v) {
        const float *p = mesh->vertices + v * 3, *n = mesh->normals + v * 3;
        ASSERT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5f) << v;
        if (p[1] > mesh->vertices[top * 3 + 1]) top = v;
    }
    // Normals lean towards the balls: at the top of the topmost ball it points down.
    EXPECT_LT(mesh->normals[top * 3 + 1], -0.5f);

    // Room for five triangles: it stops there and writes no further.
    constexpr float kMarker = -12345.0f;
    std::vector<float> out(100, kMarker), normals(out);
    MetaballMesh small{out.data(), normals.data(), 0, 5};
    buildSurface(*grid, small, squares, 0.0f);
    EXPECT_EQ(15u, small.vertexCount);
    for (size_t i = 15 * 3; i < out.size(); ++i) ASSERT_TRUE(out[i] == kMarker && normals[i] == kMarker) << "written past at " << i;
    freeGrid(grid);
    freeMesh(mesh);
}

using MetaballsGl = EffectGl<writeMetaballsData>;
TEST_F(MetaballsGl, TheBlobsMoveInFrontOfTheBackground) {
    // More than the red strip along the top (an eighth), not all.
    const auto frames = playTwice<FX_Metaballs>(writeMetaballsData, {0, 700, 2500, 9000});
    expectScene(frames, 1.0 / 8 + 1.0 / 20, 0.75);
    EXPECT_FALSE(frames[0] == frames[2]) << "the blobs did not move";
}
