#include "effects/FX_CFlare.h"

#include <cmath>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "EffectTestData.h"

using namespace cflare;
using namespace hlvtest;

namespace {

void writeCFlareData(const TempDataFolder& folder) {
    folder.writeSolidPicture("cflare/FLARE.png", 8, 8, 3, 0xC0C0C0FFu);
    writeLayerSet(folder, 1);
}

std::vector<float> squares() {
    std::vector<float> s;
    for (int k = 0; k < kGrid; ++k) s.push_back(float(k * k));
    return s;
}

// Field value at grid point (i, j, k) straight from the definition, in double.
double fieldAt(const Balls& balls, int i, int j, int k) {
    double sum = 0;
    for (const Vec3& c : balls.centre) {
        const double dx = k - c.x, dy = j - c.y, dz = i - c.z;
        sum += 6.0 / (dx * dx + dy * dy + dz * dz);
    }
    return sum;
}

}  // namespace

TEST(CFlareField, SamplesThreeBallsOnTheGridWithKFastest) {
    // Lopsided balls, so a mix-up of the axes or of the index order shows.
    const Balls balls = {{{2.5f, 7.25f, 11.75f}, {13.5f, 1.5f, 3.25f}, {6.5f, 14.5f, 0.5f}}};
    std::vector<float> field(kCells, -1.0f);
    computeField(balls, squares().data(), field.data());
    for (int i = 0; i < kGrid; ++i)
        for (int j = 0; j < kGrid; ++j)
            for (int k = 0; k < kGrid; ++k) {
                const double want = fieldAt(balls, i, j, k);
                ASSERT_NEAR(want, field[size_t(i * 256 + j * 16 + k)], want * 1e-4) << i << " " << j << " " << k;
            }

    // A ball right on a grid point: an infinite term there, full brightness.
    const Balls onPoint = {{{3, 4, 5}, {20, 20, 20}, {20, 20, 20}}};
    computeField(onPoint, squares().data(), field.data());
    EXPECT_TRUE(std::isinf(field[5 * 256 + 4 * 16 + 3]));
    EXPECT_EQ(1.0f, spriteLook(field[5 * 256 + 4 * 16 + 3]).brightness);
}

TEST(CFlareField, BrightnessSaturatesAndTheSizeDropsPastAFifth) {
    const SpriteLook full = spriteLook(0.4f);
    EXPECT_EQ(1.0f, full.brightness);
    EXPECT_NEAR(0.18129f, full.colour.x, 1e-5f);
    EXPECT_NEAR(0.26788f, full.colour.y, 1e-5f);
    EXPECT_NEAR(0.33553f, full.colour.z, 1e-5f);
    EXPECT_FLOAT_EQ(0.8f, full.size);
    EXPECT_EQ(1.0f, spriteLook(57.0f).brightness);
    EXPECT_FLOAT_EQ(0.8f, spriteLook(INFINITY).size);

    // No float field value gives exactly b = 0.2; the size jump sits between
    // two neighbouring values.
    float below = 0.079f;
    while (std::nextafter(below, 1.0f) / 0.4f < 0.2f) below = std::nextafter(below, 1.0f);
    EXPECT_NEAR(0.2f, spriteLook(below).size, 1e-6f) << "up to b = 0.2 the size is b";
    EXPECT_LT(spriteLook(std::nextafter(below, 1.0f)).size, 1e-6f) << "just above 0.2 it falls to almost nothing";
    EXPECT_FLOAT_EQ(0.5f, spriteLook(0.2f).brightness);
    EXPECT_FLOAT_EQ(0.3f, spriteLook(0.2f).size);

    const SpriteLook none = spriteLook(0.0f);
    EXPECT_TRUE(none.size == 0 && none.colour.x == 0 && none.colour.y == 0 && none.colour.z == 0);
}

TEST(CFlareField, DrawsFifteenCubedSpritesSkippingTheFarFaces) {
    // Each cell holds its own index, scaled to stay under the ceiling.
    std::vector<float> field(kCells);
    for (int n = 0; n < kCells; ++n) field[size_t(n)] = float(n) * 1e-5f;
    int count = 0, i0 = -1, j0 = -1, k0 = -1;
    bool inOrder = true;
    forEachSprite(field.data(), [&](int i, int j, int k, SpriteLook look) {
        ASSERT_TRUE(i < 15 && j < 15 && k < 15) << i << " " << j << " " << k;
        ASSERT_NEAR(float(i * 256 + j * 16 + k) * 1e-5f, look.brightness * 0.4f, 1e-6f);
        inOrder = inOrder && (i * 256 + j * 16 + k) > (i0 * 256 + j0 * 16 + k0);
        i0 = i, j0 = j, k0 = k;
        ++count;
    });
    EXPECT_EQ(3375, count);
    EXPECT_TRUE(inOrder);
    EXPECT_TRUE(i0 == 14 && j0 == 14 && k0 == 14) << "last sprite";
}

TEST(CFlareMotion, BallsFollowThePhaseAFrameLate) {
    const Balls start = ballsAt(0.0f);
    const Vec3 expected[3] = {{8, 15, 15}, {13, 7, 13}, {16, 9, 9}};
    for (int b = 0; b < 3; ++b) {
        EXPECT_FLOAT_EQ(expected[b].x, start.centre[b].x) << b;
        EXPECT_FLOAT_EQ(expected[b].y, start.centre[b].y) << b;
        EXPECT_FLOAT_EQ(expected[b].z, start.centre[b].z) << b;
    }
    const double p = 2.0;
    const Balls later = ballsAt(float(p));
    EXPECT_NEAR(7 * std::cos(2 * p) + 8, later.centre[0].z, 1e-5);
    EXPECT_NEAR(6 * std::sin(1.2 * p) + 7, later.centre[1].y, 1e-5);
    EXPECT_NEAR(6 * std::cos(1.4 * p) + 7, later.centre[1].z, 1e-5);
    EXPECT_NEAR(7 * std::sin(2 * p) + 9, later.centre[2].z, 1e-5);

    // The frame's move takes the phase as it stands, then adds the frame time.
    DemoContext demo;
    FX_CFlare fx(demo);
    fx.drift(250);
    EXPECT_FLOAT_EQ(8.0f, fx.balls().centre[0].x);
    EXPECT_FLOAT_EQ(0.25f, fx.phase());
    fx.drift(1750);
    EXPECT_FLOAT_EQ(ballsAt(0.25f).centre[1].y, fx.balls().centre[1].y);
    EXPECT_FLOAT_EQ(2.0f, fx.phase());
}

TEST(CFlareMotion, PulsesTurnTheCubeInSpacedSteps) {
    DemoContext demo;
    FX_CFlare fx(demo);
    // A pulse starts with the first frame more than 500 ms in, without a
    // step; steps need more than 10 ms since the last one and turn every axis
    // by 1.5 and the phase by 0.35; the first frame more than 200 ms in ends it.
    const struct { uint32_t t; bool spinning; float phase, angle; } frames[] = {
        {500, false, 0, 0},       {501, true, 0, 0},         {506, true, 0, 0},
        {511, true, 0, 0},        {512, true, 0.35f, 1.5f},  {517, true, 0.35f, 1.5f},
        {523, true, 0.7f, 3},     {701, true, 1.05f, 4.5f},  {702, false, 1.05f, 4.5f},
        {1202, false, 1.05f, 4.5f}, {1203, true, 1.05f, 4.5f}, {1214, true, 1.4f, 6}};
    for (const auto& f : frames) {
        fx.pulse(f.t);
        EXPECT_EQ(f.spinning, fx.rhythm().spinning) << f.t;
        EXPECT_FLOAT_EQ(f.phase, fx.phase()) << f.t;
        EXPECT_TRUE(demo.angles.angleX == f.angle && demo.angles.angleY == f.angle && demo.angles.angleZ == f.angle) << f.t;
    }
}

using CFlareGl = EffectGl<writeCFlareData>;

TEST_F(CFlareGl, StartSetsItsViewAndLeavesBlendingAndTheUnit) {
    FX_CFlare fx(world.demo);
    fx.init();

    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_FOG);
    glFrontFace(GL_CW);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_BLEND);
    glClearColor(0.5f, 0.5f, 0.5f, 0.5f);
    fx.start();

    EXPECT_EQ("", wrongCaps({GL_TEXTURE_2D, GL_FOG},
                            {GL_LIGHTING, GL_COLOR_MATERIAL, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_CULL_FACE,
                             GL_DEPTH_TEST, GL_BLEND}));
    EXPECT_EQ(GL_CCW, glInt(GL_FRONT_FACE));
    EXPECT_EQ(GLint(fx.texture()), glInt(GL_TEXTURE_BINDING_2D));
    EXPECT_EQ(GL_SRC_ALPHA, glInt(GL_BLEND_SRC)) << "blending is the frame's business";
    EXPECT_EQ(std::vector<float>({0, 0, 0, 0}), glFloats(GL_COLOR_CLEAR_VALUE, 4));
    EXPECT_EQ(GL_MODELVIEW, glInt(GL_MATRIX_MODE));
    EXPECT_LT(perspectiveError(45.0f, 96.0f / 72.0f, 0.1f, 100.0f), 1e-4f);
    // Eye (0, 1, -1.25) looking at the origin.
    EXPECT_LT(maxDiff(viewed(0, 0, 0), {0, 0, -std::sqrt(1 + 1.5625f), 1}), 1e-5f);
    EXPECT_LT(maxDiff(viewed(0, 1, -1.25f), {0, 0, 0, 1}), 1e-5f);

    // A frame leaves additive blending on, and the view as it was.
    const std::vector<float> view = glFloats(GL_MODELVIEW_MATRIX, 16);
    const GLint depth = glInt(GL_MODELVIEW_STACK_DEPTH);
    showFrame(fx, 1000, 40);
    EXPECT_EQ("", wrongCaps({GL_BLEND}, {}));
    EXPECT_TRUE(glInt(GL_BLEND_SRC) == GL_ONE && glInt(GL_BLEND_DST) == GL_ONE);
    EXPECT_EQ(depth, glInt(GL_MODELVIEW_STACK_DEPTH));
    EXPECT_EQ(view, glFloats(GL_MODELVIEW_MATRIX, 16));
    fx.release();

    glDisable(GL_FOG);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
}

TEST(CFlareFrames, RenderTheFlaresTheSameWayTwice) {
    const auto frames = playTwice<FX_CFlare>(writeCFlareData, {0, 700, 1500, 3000}, "cflare");
    if (frames.empty()) GTEST_SKIP() << "no headless GL context";
    // Flares add onto the layer's background wherever the field reaches.
    for (size_t n = 0; n < frames.size(); ++n) {
        const size_t lit = pixelsOtherThan(frames[n], 0x101830FFu);
        EXPECT_GT(lit, frames[n].size() / 4 / 8 + frames[n].size() / 4 / 40) << "frame " << n;
    }
    EXPECT_FALSE(frames[1] == frames[3]) << "the balls did not move";
}
