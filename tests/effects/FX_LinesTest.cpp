#include "effects/FX_Lines.h"

#include "EffectTestData.h"

using namespace hlvtest;

static void writeLinesData(const TempDataFolder& folder) { writeLayerSet(folder, 2); }
using LinesGl = EffectGl<writeLinesData>;

// The classic generator seeded with 100 gives 365, 1216, 5415, 16704 first
// and 5091 as its 281st value (worked out by hand from its formula).
TEST(LinesBars, OffsetsFromTheSeededGeneratorThenOneCommonStep) {
    DemoContext demo;
    demo.random.next();   // earlier draws do not matter: the fan seeds
    FX_Lines fx(demo);
    fx.placeBars();
    const Vec3 o = fx.offset(0);
    EXPECT_LT(maxDiff({o.x, o.y, o.z, fx.barStep(0)},
                      {float(365 / 65536.0 * 0.55), float(1216 / 65536.0 * 0.55), float(5415 / 65536.0 * 0.75),
                       float(16704 / 65536.0 * -0.1)}),
              1e-8f);
    EXPECT_EQ(5091, demo.random.next()) << "four draws for each of 70 bars";

    fx.settle(51429);
    EXPECT_EQ(fx.barStep(0), fx.barStep(69)) << "after the first frame every bar takes one common step";
}

TEST_F(LinesGl, TheFanOpensTheSameWayTwice) {
    const auto frames = playTwice<FX_Lines>(writeLinesData, {20, 600, 1500, 3000});
    expectScene(frames, 1.0 / 8 + 1.0 / 40);   // past the red strip
    // First frame: steps under 0.05 degrees, a nearly closed bundle; then each
    // bar turns a whole step more than the one before and the fan sweeps round.
    EXPECT_LT(pixelsOtherThan(frames[0], kLayerBackground) * 2, pixelsOtherThan(frames[2], kLayerBackground));
}
