#include "effects/FX_CubeMorph.h"

#include <cmath>
#include <map>
#include <tuple>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "EffectTestData.h"
#include "TestSupport.h"

using namespace cubemorph;
using namespace hlvtest;

namespace {

void expectVec(Vec3 got, Vec3 want) {
    EXPECT_NEAR(got.x, want.x, 1e-6f);
    EXPECT_NEAR(got.y, want.y, 1e-6f);
    EXPECT_NEAR(got.z, want.z, 1e-6f);
}

void writeCubeMorphData(const TempDataFolder& folder) {
    writePatternPicture(folder, "cubem/textura.png");
    writeLayerSet(folder, 5);
}

}  // namespace

TEST(CubeMorphShape, CornersArePulledTowardsTheCentre) {
    // Exactly on A: 1 / r is infinite and the corner lands on the centre, not on NaN.
    expectVec(morphCorner({1, 1, 1}, {{1, 1, 1}, {0, 0, 0.5f}}), {0, 0, 0});
    // 0.5 from A: scaled by 1.25 / 2.  B then sits exactly 1.25 away, which
    // is not more than the far limit, so it leaves the corner alone.
    expectVec(morphCorner({0, 0, 1}, {{0, 0, 0.5f}, {0, 0, -0.625f}}), {0, 0, 0.625f});
    // A far away does nothing (it has no far rule); B 2 away pulls to 1.25 / 2.
    expectVec(morphCorner({1, 1, 1}, {{-1, -1, -1}, {1, 1, -1}}), {0.625f, 0.625f, 0.625f});
    // B's near rule runs before its far rule, on A's result.
    expectVec(morphCorner({0, 1, 0}, {{0, 5, 0}, {0, 0.75f, 0}}), {0, 0.3125f, 0});
}

TEST(CubeMorphShape, ClosedCubeOfClockwiseTriangles) {
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
    // Shared corners morph alike, so every side is walked once each way: no
    // cracks, no flipped triangle.
    for (const auto& [side, count] : sides) {
        ASSERT_EQ(count, 1);
        ASSERT_EQ(sides.count({side.second, side.first}), 1u);
    }
    EXPECT_GT(outward, 0.0f) << "normals point into the cube";

    // Drawing order: the y = +1 cell at (-1, -1), then y = -1 at the same
    // cell before the next u; texture coordinates follow the face grid.
    const float e = -0.875f;
    const Vec3 corners[][3] = {{{-1, 1, -1}, {e, 1, -1}, {-1, 1, e}}, {}, {{-1, -1, -1}, {-1, -1, e}, {e, -1, -1}}};
    for (int n : {0, 2})
        for (int k = 0; k < 3; ++k) expectVec(tris[size_t(n)].corner[k], morphCorner(corners[n][k], at));
    const float tex[2][3][2] = {{{-1, -1}, {e, -1}, {-1, e}}, {{-1, e}, {e, -1}, {e, e}}};
    for (int n = 0; n < 2; ++n)
        for (int k = 0; k < 3; ++k)
            EXPECT_TRUE(tris[size_t(n)].tex[k][0] == tex[n][k][0] && tris[size_t(n)].tex[k][1] == tex[n][k][1]) << n << k;
    EXPECT_TRUE(tris.back().tex[2][0] == 1.0f && tris.back().tex[2][1] == 1.0f);
}

TEST(CubeMorphMotion, PulsesOnTheBeat) {
    DemoContext demo;
    FX_CubeMorph fx(demo);
    for (uint32_t t = 0; t <= 500; t += 25) fx.pulse(t);
    EXPECT_FALSE(fx.rhythm().spinning);
    EXPECT_EQ(demo.angles.angleX, 0.0f);

    // A pulse starts with a jolt of 2.5 degrees on every axis, no phase step yet.
    fx.pulse(501);
    EXPECT_TRUE(fx.rhythm().spinning);
    EXPECT_TRUE(demo.angles.angleX == 2.5f && demo.angles.angleY == 2.5f && demo.angles.angleZ == 2.5f);
    EXPECT_EQ(fx.phase(), 30.0f);
    // Steps of 0.15 need more than 10 ms, and 50 ms still make only one step.
    const std::pair<uint32_t, float> steps[] = {{511, 30.0f}, {512, 30.15f}, {562, 30.3f}};
    for (const auto& [t, phase] : steps) {
        fx.pulse(t);
        EXPECT_FLOAT_EQ(phase, fx.phase()) << t;
    }
    // Over after the first frame more than 200 ms in; the next after 500 ms rest.
    fx.pulse(701);
    EXPECT_TRUE(fx.rhythm().spinning);
    fx.pulse(702);
    EXPECT_FALSE(fx.rhythm().spinning);
    fx.pulse(1202);
    EXPECT_EQ(demo.angles.angleX, 2.5f);
    fx.pulse(1203);
    EXPECT_EQ(demo.angles.angleX, 5.0f);

    // The drift follows the frame time only: 15 degrees and 1.5 of phase a second.
    const float phase = fx.phase();
    fx.drift(0);
    EXPECT_EQ(fx.phase(), phase);
    fx.drift(1000);
    EXPECT_NEAR(fx.phase(), phase + 1.5f, 1e-5f);
    EXPECT_TRUE(demo.angles.angleX == 20.0f && demo.angles.angleY == 20.0f && demo.angles.angleZ == 20.0f);
}

TEST(CubeMorphGl, StartLeavesItsStateAndCarriesTheRest) {
    HeadlessGl gl(64, 48);
    HLV_REQUIRE_GL(gl);
    EffectWorld world(gl.choice());
    writeCubeMorphData(world.folder);
    FX_CubeMorph fx(world.demo);
    fx.init();

    glEnable(GL_FOG);
    glBlendFunc(GL_ONE, GL_ONE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
    glEnable(GL_TEXTURE_GEN_S);
    glActiveTexture(GL_TEXTURE1);
    glEnable(GL_TEXTURE_2D);
    fx.start();

    EXPECT_EQ(glInt(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
    EXPECT_EQ(glInt(GL_TEXTURE_BINDING_2D), GLint(fx.texture()));
    EXPECT_EQ("", wrongCaps({GL_TEXTURE_2D, GL_CULL_FACE, GL_DEPTH_TEST, GL_LIGHTING, GL_LIGHT0, GL_COLOR_MATERIAL, GL_FOG},
                            {GL_BLEND, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_LIGHT1}));
    EXPECT_EQ(glInt(GL_FRONT_FACE), GL_CW);
    EXPECT_EQ(glInt(GL_MATRIX_MODE), GL_MODELVIEW);
    // Left to whoever set them before.
    EXPECT_EQ(glInt(GL_BLEND_SRC), GL_ONE);
    EXPECT_EQ(texEnvInt(GL_TEXTURE_ENV_MODE), GL_ADD);
    glActiveTexture(GL_TEXTURE1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glActiveTexture(GL_TEXTURE0);

    EXPECT_LT(perspectiveError(45.0f, 64.0f / 48.0f, 0.5f, 100.0f), 1e-4f);
    // Eye (0, 3, 3) looking at the origin; the light sits at (0, 10, 10) in
    // the world, placed after the view.
    EXPECT_LT(maxDiff(viewed(0, 0, 0), {0, 0, -std::sqrt(18.0f), 1}), 1e-5f);
    EXPECT_LT(maxDiff(lightFloats(GL_LIGHT0, GL_POSITION), viewed(0, 10, 10)), 1e-4f);

    glDisable(GL_FOG);
    glBlendFunc(GL_ONE, GL_ZERO);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

TEST(CubeMorphGl, RendersTheCubeTheSameWayTwice) {
    const std::vector<uint32_t> times = {0, 600, 1500, 4000};
    const auto first = playEffect<FX_CubeMorph>(writeCubeMorphData, times, "cubemorph-a");
    if (first.empty()) GTEST_SKIP() << "no headless GL context";
    const auto second = playEffect<FX_CubeMorph>(writeCubeMorphData, times, "cubemorph-b");
    const size_t pixels = first[0].size() / 4, strip = pixels / 8;   // the layer set's red strip along the top
    for (size_t i = 0; i < first.size(); ++i) {
        const size_t scene = pixelsOtherThan(first[i], 0x101830FFu);
        EXPECT_GT(scene, strip + pixels / 20) << "frame " << i;
        EXPECT_LT(scene, pixels * 3 / 4) << "frame " << i;
        EXPECT_TRUE(first[i] == second[i]) << "frame " << i << " differs on the second run";
    }
    EXPECT_FALSE(first[1] == first[3]) << "the cube did not move";
}
