#include "effects/FX_Lines.h"

#include "EffectTestData.h"

using namespace hlvtest;

static void writeLinesData(const TempDataFolder& folder) { writeLayerSet(folder, 2); }
using LinesGl = EffectGl<writeLinesData>;

// The classic generator seeded with 100 gives 365, 1216, 5415, 16704 first, 5593, 23286,
// 29782, 10621 as its 277th to 280th values and 5091 next (worked out by hand from its formula).
TEST(LinesBars, OffsetsFromTheSeededGeneratorThenOneCommonStepAndJumpsOnTheBeat) {
    DemoContext demo;
    demo.random.next();   // earlier draws do not matter: the fan seeds
    FX_Lines fx(demo);
    fx.placeBars();
    const struct { uint32_t bar; double r[4]; } draws[] = {{0, {365, 1216, 5415, 16704}}, {69, {5593, 23286, 29782, 10621}}};
    for (const auto& d : draws) {
        const Vec3 o = fx.offset(d.bar);
        EXPECT_LT(maxDiff({o.x, o.y, o.z, fx.barStep(d.bar)},
                          {float(d.r[0] / 65536 * 0.55), float(d.r[1] / 65536 * 0.55), float(d.r[2] / 65536 * 0.75),
                           float(d.r[3] / 65536 * -0.1)}),
                  1e-8f) << "bar " << d.bar;
    }
    EXPECT_EQ(5091, demo.random.next()) << "four draws for each of 70 bars";

    fx.settle(51429);
    EXPECT_EQ(fx.barStep(0), fx.barStep(69)) << "after the first frame every bar takes one common step";

    // After more than 500 ms of rest a jump adds 2.5 as it starts and 0.05 at
    // each step more than 10 ms after the last.
    for (const auto& [t, phase] : {std::pair{500u, 0.1f}, {501u, 2.6f}, {511u, 2.6f}, {512u, 2.65f}, {523u, 2.7f}}) {
        fx.pulse(t);
        EXPECT_NEAR(phase, fx.linesPhase(), 1e-5f) << t;
    }
}

TEST_F(LinesGl, StartKeepsTheProjectionTexGenAndFogAndTheFanOpensTheSameWayTwice) {
    FX_Lines fx(world.demo);
    fx.init();
    glMatrixMode(GL_PROJECTION);
    glFrustum(-1, 1, -0.75, 0.75, 1, 50);
    glMatrixMode(GL_MODELVIEW);
    const std::vector<float> projection = glFloats(GL_PROJECTION_MATRIX, 16);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_FOG);
    fx.start();
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S) && glIsEnabled(GL_FOG));
    showFrame(fx, 51429, 20);
    EXPECT_EQ(projection, glFloats(GL_PROJECTION_MATRIX, 16));

    const auto frames = playTwice<FX_Lines>(writeLinesData, {20, 600, 1500, 3000});
    expectScene(frames, 1.0 / 8 + 1.0 / 40);   // past the red strip
    // First frame: steps under 0.05 degrees, a nearly closed bundle; then each
    // bar turns a whole step more than the one before and the fan sweeps round.
    EXPECT_LT(pixelsOtherThan(frames[0], kLayerBackground) * 2, pixelsOtherThan(frames[2], kLayerBackground));
}
