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
    // 0.5 from A: scaled by 1.25 / 2; B then sits exactly 1.25 away, not beyond its far limit.
    expectVec(morphCorner({0, 0, 1}, {{0, 0, 0.5f}, {0, 0, -0.625f}}), {0, 0, 0.625f});
    // A far away does nothing (it has no far rule); B 2 away pulls to 1.25 / 2.
    expectVec(morphCorner({1, 1, 1}, {{-1, -1, -1}, {1, 1, -1}}), {0.625f, 0.625f, 0.625f});
    // B's near rule runs before its far rule, on A's result.
    expectVec(morphCorner({0, 1, 0}, {{0, 5, 0}, {0, 0.75f, 0}}), {0, 0.3125f, 0});

    using Key = std::tuple<float, float, float>;
    auto key = [](Vec3 p) { return Key{p.x, p.y, p.z}; };
    std::map<std::pair<Key, Key>, int> sides;   // directed sides
    std::vector<CubeTriangle> tris;
    const Attractors at = attractorsAt(30.0f);
    buildCube(at, [&](const CubeTriangle& t) { tris.push_back(t); });
    ASSERT_EQ(tris.size(), 3072u);
    float outward = 0;
    for (const CubeTriangle& t : tris) {
        for (int k = 0; k < 3; ++k) ++sides[{key(t.corner[k]), key(t.corner[(k + 1) % 3])}];
        ASSERT_NEAR(dot(t.normal, t.normal), 1.0f, 1e-5f);
        outward += dot(t.normal, t.corner[0] + t.corner[1] + t.corner[2]);
    }
    // Shared corners morph alike: every side walked once each way, no crack, no flipped triangle.
    for (const auto& [side, count] : sides) ASSERT_TRUE(count == 1 && sides.count({side.second, side.first}) == 1);
    EXPECT_GT(outward, 0.0f) << "normals point into the cube";
    // First comes the y = +1 cell at (-1, -1), its corners 1/8 apart; texture coordinates follow the face grid.
    expectVec(tris[0].corner[2], morphCorner({-1, 1, -0.875f}, at));
    EXPECT_TRUE(tris[0].tex[0][0] == -1 && tris[0].tex[0][1] == -1 && tris[0].tex[1][0] == -0.875f && tris[0].tex[2][1] == -0.875f);
}

TEST(CubeMorphMotion, PulsesOnTheBeat) {
    DemoContext demo;
    FX_CubeMorph fx(demo);
    // Pulses (500 ms rest, 200 ms on) turn each axis 2.5 degrees at once; 0.15 phase steps > 10 ms apart.
    const struct { uint32_t t; float phase, angle; } frames[] = {{500, 30, 0},       {501, 30, 2.5f},     {511, 30, 2.5f},
                                                                 {512, 30.15f, 2.5f}, {562, 30.3f, 2.5f},  {701, 30.45f, 2.5f},
                                                                 {702, 30.45f, 2.5f}, {1202, 30.45f, 2.5f}, {1203, 30.45f, 5}};
    auto angles = [&] { return std::vector<float>{demo.angles.angleX, demo.angles.angleY, demo.angles.angleZ}; };
    for (const auto& f : frames) {
        fx.pulse(f.t);
        EXPECT_TRUE(std::fabs(f.phase - fx.phase()) < 1e-5f && angles() == std::vector<float>(3, f.angle)) << f.t << ": " << fx.phase();
    }
}

using CubeMorphGl = EffectGl<writeCubeMorphData>;
TEST_F(CubeMorphGl, StartKeepsWhatItDoesNotSetAndTheCubeMovesInFrontOfTheBackground) {
    FX_CubeMorph fx(world.demo);
    fx.init();
    glEnable(GL_FOG);
    glBlendFunc(GL_ONE, GL_ONE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
    fx.start();
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_TRUE(glIsEnabled(GL_FOG) && glInt(GL_BLEND_SRC) == GL_ONE && mode == GL_ADD);
    // The light placed in the world at (0, 10, 10), after the view.
    EXPECT_LT(maxDiff(lightFloats(GL_LIGHT0, GL_POSITION), viewed(0, 10, 10)), 1e-4f);

    // More than the red strip along the top (an eighth), not all.
    const auto frames = playTwice<FX_CubeMorph>(writeCubeMorphData, {0, 600, 1500, 4000});
    expectScene(frames, 1.0 / 8 + 1.0 / 20, 0.75);
    EXPECT_FALSE(frames[1] == frames[3]) << "the cube did not move";
}
