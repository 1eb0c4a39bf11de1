#include "effects/FX_CubeMorph.h"

#include <map>
#include <tuple>

#include "EffectTestData.h"

using namespace cubemorph;
using namespace hlvtest;

static void expectVec(Vec3 got, Vec3 want) { EXPECT_LT(length(got - want), 2e-6f) << got.x << ", " << got.y << ", " << got.z; }

static void writeCubeMorphData(const TempDataFolder& folder) { writeLayerSet(folder, 5, "cubem/textura.png"); }

TEST(CubeMorphShape, CornersArePulledTowardsTheCentreOfAClosedCubeOfClockwiseTriangles) {
    // Exactly on A: 1 / r is infinite and the corner lands on the centre, not on NaN.
    expectVec(morphCorner({1, 1, 1}, {{1, 1, 1}, {0, 0, 0.5f}}), {0, 0, 0});

    using Key = std::tuple<float, float, float>;
    auto key = [](Vec3 p) { return Key{p.x, p.y, p.z}; };
    std::map<std::pair<Key, Key>, int> sides;   // directed sides
    std::vector<CubeTriangle> tris;
    const Attractors at = attractorsAt(30.0f);
    buildCube(at, [&](const CubeTriangle& t) { tris.push_back(t); });
    ASSERT_FALSE(tris.empty());
    float outward = 0;
    for (const CubeTriangle& t : tris) {
        for (int k = 0; k < 3; ++k) ++sides[{key(t.corner[k]), key(t.corner[(k + 1) % 3])}];
        ASSERT_NEAR(dot(t.normal, t.normal), 1.0f, 1e-5f);
        outward += dot(t.normal, t.corner[0] + t.corner[1] + t.corner[2]);
    }
    // Shared corners morph alike: every side walked once each way, no crack, no flipped triangle.
    for (const auto& [side, count] : sides) ASSERT_TRUE(count == 1 && sides.count({side.second, side.first}) == 1);
    EXPECT_GT(outward, 0.0f) << "normals point into the cube";
}

using CubeMorphGl = EffectGl<writeCubeMorphData>;
TEST_F(CubeMorphGl, TheCubeMovesInFrontOfTheBackground) {
    // More than the red strip along the top (an eighth), not all.
    const auto frames = playTwice<FX_CubeMorph>(writeCubeMorphData, {0, 600, 1500, 4000});
    expectScene(frames, 1.0 / 8 + 1.0 / 20, 0.75);
    EXPECT_FALSE(frames[1] == frames[3]) << "the cube did not move";
}
