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

namespace {

void expectVec(Vec3 got, Vec3 want, float tolerance = 1e-6f) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

// The effect's texture and layer set 5 in a throw-away folder.
struct CubeMorphWorld : hlvtest::EffectWorld {
    explicit CubeMorphWorld(const DisplayChoice& display) : EffectWorld(display) {
        hlvtest::writePatternPicture(folder, "cubem/textura.png");
        hlvtest::writeLayerSet(folder, 5);
    }
};

}  // namespace

TEST(CubeMorphShape, CornersArePulledTowardsTheCentre) {
    // Exactly on A: 1 / r is infinite and the corner lands on the centre, not on NaN.
    const Vec3 corner = {1, 1, 1};
    const Vec3 onA = morphCorner(corner, {corner, {0, 0, 0.5f}});
    EXPECT_EQ(onA.x, 0.0f);
    EXPECT_EQ(onA.y, 0.0f);
    EXPECT_EQ(onA.z, 0.0f);

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
    buildCube(attractorsAt(30.0f), [&](const CubeTriangle& t) { tris.push_back(t); });
    ASSERT_EQ(tris.size(), kTriangleCount);

    float outward = 0;
    for (const CubeTriangle& t : tris) {
        for (int k = 0; k < 3; ++k) ++sides[{key(t.corner[k]), key(t.corner[(k + 1) % 3])}];
        const float len = dot(t.normal, t.normal);
        ASSERT_NEAR(len, 1.0f, 1e-5f);
        outward += dot(t.normal, t.corner[0] + t.corner[1] + t.corner[2]);
    }
    // Shared corners morph alike, so every side is walked once each way: no
    // cracks, no flipped triangle.
    for (const auto& [side, count] : sides) {
        ASSERT_EQ(count, 1);
        ASSERT_EQ(sides.count({side.second, side.first}), 1u);
    }
    EXPECT_GT(outward, 0.0f) << "normals point into the cube";

    // Drawing order: first the y = +1 cell at (-1, -1); texture coordinates
    // follow the face grid.
    const Attractors at = attractorsAt(30.0f);
    expectVec(tris[0].corner[0], morphCorner({-1, 1, -1}, at));
    expectVec(tris[0].corner[1], morphCorner({-0.875f, 1, -1}, at));
    expectVec(tris[0].corner[2], morphCorner({-1, 1, -0.875f}, at));
    const float firstTex[3][2] = {{-1, -1}, {-0.875f, -1}, {-1, -0.875f}};
    const float secondTex[3][2] = {{-1, -0.875f}, {-0.875f, -1}, {-0.875f, -0.875f}};
    for (int k = 0; k < 3; ++k)
        for (int c = 0; c < 2; ++c) {
            EXPECT_EQ(tris[0].tex[k][c], firstTex[k][c]);
            EXPECT_EQ(tris[1].tex[k][c], secondTex[k][c]);
        }
    // Then y = -1 at the same grid cell, before the next u.
    expectVec(tris[2].corner[0], morphCorner({-1, -1, -1}, at));
    expectVec(tris[2].corner[1], morphCorner({-1, -1, -0.875f}, at));
    EXPECT_EQ(tris.back().tex[2][0], 1.0f);
    EXPECT_EQ(tris.back().tex[2][1], 1.0f);
}

TEST(CubeMorphMotion, PulsesOnTheBeat) {
    DemoContext demo;
    FX_CubeMorph fx(demo);
    EXPECT_EQ(fx.phase(), 30.0f);

    for (uint32_t t = 0; t <= 500; t += 25) fx.pulse(t);
    EXPECT_FALSE(fx.rhythm().spinning);
    EXPECT_EQ(demo.angles.angleX, 0.0f);

    // A pulse starts with a jolt of 2.5 degrees on every axis, no phase step yet.
    fx.pulse(501);
    EXPECT_TRUE(fx.rhythm().spinning);
    EXPECT_EQ(demo.angles.angleX, 2.5f);
    EXPECT_EQ(demo.angles.angleY, 2.5f);
    EXPECT_EQ(demo.angles.angleZ, 2.5f);
    EXPECT_EQ(fx.phase(), 30.0f);

    // Steps need more than 10 ms, and 50 ms still make only one step.
    fx.pulse(511);
    EXPECT_EQ(fx.phase(), 30.0f);
    fx.pulse(512);
    EXPECT_EQ(fx.phase(), 30.15f);
    fx.pulse(562);
    EXPECT_EQ(fx.phase(), 30.15f + 0.15f);

    // Over after the first frame more than 200 ms in; the jolt does not repeat.
    fx.pulse(701);
    EXPECT_TRUE(fx.rhythm().spinning);
    fx.pulse(702);
    EXPECT_FALSE(fx.rhythm().spinning);
    fx.pulse(1202);
    EXPECT_FALSE(fx.rhythm().spinning);
    EXPECT_EQ(demo.angles.angleX, 2.5f);
    fx.pulse(1203);
    EXPECT_EQ(demo.angles.angleX, 5.0f);

    // The drift follows the frame time only.
    const float phase = fx.phase();
    fx.drift(0);
    EXPECT_EQ(fx.phase(), phase);
    EXPECT_EQ(demo.angles.angleY, 5.0f);
    fx.drift(1000);
    EXPECT_NEAR(fx.phase(), phase + 1.5f, 1e-5f);
    EXPECT_EQ(demo.angles.angleX, 20.0f);
    EXPECT_EQ(demo.angles.angleZ, 20.0f);
}

TEST(CubeMorphGl, StartLeavesItsStateAndCarriesTheRest) {
    hlvtest::HeadlessGl gl(64, 48);
    HLV_REQUIRE_GL(gl);
    CubeMorphWorld world(gl.choice());
    FX_CubeMorph fx(world.demo);
    fx.init();

    glEnable(GL_FOG);
    glBlendFunc(GL_ONE, GL_ONE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
    glEnable(GL_TEXTURE_GEN_S);
    glActiveTexture(GL_TEXTURE1);
    glEnable(GL_TEXTURE_2D);
    fx.start();

    EXPECT_EQ(hlvtest::glInt(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(hlvtest::glInt(GL_TEXTURE_BINDING_2D), GLint(fx.texture()));
    glActiveTexture(GL_TEXTURE1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glActiveTexture(GL_TEXTURE0);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(hlvtest::glInt(GL_FRONT_FACE), GL_CW);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_T));
    EXPECT_EQ(hlvtest::glInt(GL_MATRIX_MODE), GL_MODELVIEW);
    // Left to whoever set them before.
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_EQ(hlvtest::glInt(GL_BLEND_SRC), GL_ONE);
    GLint env = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(env, GL_ADD);

    // 45 degrees high at the window's aspect, 0.5 to 100.
    const auto proj = hlvtest::glFloats(GL_PROJECTION_MATRIX, 16);
    const float f = 1.0f / std::tan(22.5f * 3.14159265f / 180.0f);
    EXPECT_NEAR(proj[0], f * 48.0f / 64.0f, 1e-4f);
    EXPECT_NEAR(proj[5], f, 1e-4f);
    EXPECT_NEAR(proj[10], -100.5f / 99.5f, 1e-4f);
    EXPECT_NEAR(proj[14], -100.0f / 99.5f, 1e-4f);
    // Eye (0, 3, 3) looking at the origin.
    const auto view = hlvtest::glFloats(GL_MODELVIEW_MATRIX, 16);
    EXPECT_NEAR(view[12], 0.0f, 1e-5f);
    EXPECT_NEAR(view[13], 0.0f, 1e-5f);
    EXPECT_NEAR(view[14], -std::sqrt(18.0f), 1e-5f);

    // The light sits at (0, 10, 10) in the world: placed after the view.
    const auto light = hlvtest::lightFloats(GL_LIGHT0, GL_POSITION);
    const float world4[4] = {0, 10, 10, 1};
    for (int r = 0; r < 4; ++r) {
        float e = 0;
        for (int c = 0; c < 4; ++c) e += view[c * 4 + r] * world4[c];
        EXPECT_NEAR(light[r], e, 1e-4f) << r;
    }
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));

    glDisable(GL_FOG);
    glBlendFunc(GL_ONE, GL_ZERO);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

namespace {

std::vector<std::vector<uint8_t>> renderFrames(hlvtest::HeadlessGl& gl, std::initializer_list<uint32_t> times) {
    CubeMorphWorld world(gl.choice());
    FX_CubeMorph fx(world.demo);
    fx.init();
    fx.start();
    std::vector<std::vector<uint8_t>> frames;
    uint32_t previous = 0;
    for (uint32_t t : times) {
        hlvtest::showFrame(fx, t, t - previous);
        previous = t;
        frames.push_back(gl.readPixels());
        hlvtest::dumpFrame("cubemorph-" + std::to_string(t), gl.width(), gl.height(), frames.back());
    }
    return frames;
}

}  // namespace

TEST(CubeMorphGl, RendersTheCubeTheSameWayTwice) {
    hlvtest::HeadlessGl gl(160, 120);
    HLV_REQUIRE_GL(gl);
    const auto first = renderFrames(gl, {0, 600, 1500, 4000});
    const auto second = renderFrames(gl, {0, 600, 1500, 4000});
    const size_t pixels = size_t(gl.width()) * gl.height();
    const size_t strip = pixels / 8;   // the layer set's red strip along the top
    for (size_t i = 0; i < first.size(); ++i) {
        const size_t scene = hlvtest::pixelsOtherThan(first[i], 0x101830FFu);
        EXPECT_GT(scene, strip + pixels / 20) << "frame " << i;
        EXPECT_LT(scene, pixels * 3 / 4) << "frame " << i;
        EXPECT_TRUE(first[i] == second[i]) << "frame " << i << " differs on the second run";
    }
    EXPECT_FALSE(first[1] == first[3]) << "the cube did not move";
}
