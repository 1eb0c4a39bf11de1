#include "effects/FX_CFlare.h"

#include "EffectTestData.h"

using namespace cflare;
using namespace hlvtest;

static void writeCFlareData(const TempDataFolder& folder) {
    folder.writeSolidPicture("cflare/FLARE.png", 8, 8, 3, 0xC0C0C0FFu);
    writeLayerSet(folder, 1);
}

TEST(CFlareField, SamplesThreeBallsAndDrawsAllButTheFarFacesSaturatingAndShrinkingPastAFifth) {
    float squares[kGrid];
    for (int k = 0; k < kGrid; ++k) squares[k] = float(k * k);
    // Lopsided balls, so a mix-up of the axes or of the index order shows.
    const Balls balls = {{{2.5f, 7.25f, 11.75f}, {13.5f, 1.5f, 3.25f}, {6.5f, 14.5f, 0.5f}}};
    std::vector<float> field(kCells);
    computeField(balls, squares, field.data());
    for (int n = 0; n < kCells; ++n) {
        double want = 0;
        for (const Vec3& c : balls.centre)
            want += 6.0 / (std::pow(n % 16 - c.x, 2) + std::pow(n / 16 % 16 - c.y, 2) + std::pow(n / 256 - c.z, 2));
        ASSERT_NEAR(want, field[size_t(n)], want * 1e-4) << "cell " << n;
    }
    // 15^3 sprites, i outermost, each reading its own cell (here holding its index).
    for (int n = 0; n < kCells; ++n) field[size_t(n)] = float(n) * 1e-5f;
    int count = 0, last = -1;
    forEachSprite(field.data(), [&](int i, int j, int k, SpriteLook look) {
        const int n = i * 256 + j * 16 + k;
        ASSERT_TRUE(i < 15 && j < 15 && k < 15 && n > last) << i << " " << j << " " << k;
        ASSERT_NEAR(float(n) * 1e-5f, look.brightness * 0.4f, 1e-6f);
        last = n, ++count;
    });
    EXPECT_EQ(3375, count);

    const SpriteLook full = spriteLook(0.4f), half = spriteLook(0.2f);
    EXPECT_TRUE(full.brightness == 1.0f && half.brightness == 0.5f && spriteLook(0.0f).colour.z == 0.0f);
    EXPECT_LT(maxDiff({full.colour.x, full.colour.y, full.colour.z}, {2 * half.colour.x, 2 * half.colour.y, 2 * half.colour.z}), 1e-6f);
    EXPECT_TRUE(full.size == 0.8f && spriteLook(INFINITY).size == 0.8f) << "a ball right on a grid point saturates too";
    // No float field value gives exactly b = 0.2; the jump sits between two neighbours.
    float below = 0.079f;
    while (std::nextafter(below, 1.0f) / 0.4f < 0.2f) below = std::nextafter(below, 1.0f);
    EXPECT_NEAR(0.2f, spriteLook(below).size, 1e-6f) << "up to b = 0.2 the size is b";
    EXPECT_LT(spriteLook(std::nextafter(below, 1.0f)).size, 1e-6f) << "just above, almost nothing";
}

TEST(CFlareMotion, PulsesTurnTheCubeAndBallsFollowThePhaseAFrameLate) {
    DemoContext demo;
    FX_CFlare fx(demo);
    // Pulses (500 ms rest, 200 ms on) start without a step; steps > 10 ms apart turn each axis 1.5, the phase 0.35.
    const struct { uint32_t t; float phase, angle; } frames[] = {{500, 0, 0},         {501, 0, 0},         {511, 0, 0},
                                                                 {512, 0.35f, 1.5f},  {517, 0.35f, 1.5f},  {523, 0.7f, 3},
                                                                 {701, 1.05f, 4.5f},  {702, 1.05f, 4.5f},  {1000, 1.05f, 4.5f}};
    for (const auto& f : frames) {
        fx.pulse(f.t);
        const std::vector<float> angles = {demo.angles.angleX, demo.angles.angleY, demo.angles.angleZ};
        EXPECT_TRUE(std::fabs(f.phase - fx.phase()) < 1e-6f && angles == std::vector<float>(3, f.angle)) << f.t << ": " << fx.phase();
    }
    // The frame's move places the balls at the phase as it stands, then adds the frame time in seconds.
    const float phase = fx.phase();
    fx.drift(950);
    for (int b = 0; b < 3; ++b) EXPECT_EQ(0.0f, length(fx.balls().centre[b] - ballsAt(phase).centre[b])) << "ball " << b;
    EXPECT_FLOAT_EQ(phase + 0.95f, fx.phase());
    EXPECT_GT(length(ballsAt(fx.phase()).centre[0] - fx.balls().centre[0]), 0.1f) << "the paths move with the phase";
}

using CFlareGl = EffectGl<writeCFlareData>;
TEST_F(CFlareGl, BlendingIsLeftToTheFrameWhichAddsTheFlaresTheSameWayTwice) {
    FX_CFlare fx(world.demo);
    fx.init();
    glEnable(GL_FOG);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    fx.start();
    EXPECT_TRUE(glIsEnabled(GL_FOG) && glInt(GL_BLEND_SRC) == GL_SRC_ALPHA) << "blending is left to the frame";
    showFrame(fx, 1000, 40);
    EXPECT_TRUE(glIsEnabled(GL_BLEND) && glInt(GL_BLEND_SRC) == GL_ONE && glInt(GL_BLEND_DST) == GL_ONE);
    releaseAroundAFrame(fx, 1100);   // no field left to fill

    // Flares add onto the background beyond the red strip along the top.
    const auto frames = playTwice<FX_CFlare>(writeCFlareData, {0, 700, 1500, 3000});
    expectScene(frames, 1.0 / 8 + 1.0 / 40);
    EXPECT_FALSE(frames[1] == frames[3]) << "the balls did not move";
}
