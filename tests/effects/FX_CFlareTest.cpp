#include "effects/FX_CFlare.h"

#include "EffectTestData.h"

using namespace cflare;
using namespace hlvtest;

static void writeCFlareData(const TempDataFolder& folder) {
    folder.writeSolidPicture("cflare/FLARE.png", 8, 8, 3, 0xC0C0C0FFu);
    writeLayerSet(folder, 1);
}

// Lopsided balls, so a mix-up of the axes or of the index order shows; a
// ball right on a grid point saturates its sprite instead of poisoning it.
TEST(CFlareField, SamplesThreeBallsByInverseSquareAndSaturatesOnAGridPoint) {
    float squares[kGrid];
    for (int k = 0; k < kGrid; ++k) squares[k] = float(k * k);
    const Balls balls = {{{2.5f, 7.25f, 11.75f}, {13.5f, 1.5f, 3.25f}, {6.5f, 14.5f, 0.5f}}};
    std::vector<float> field(kCells);
    computeField(balls, squares, field.data());
    for (int n = 0; n < kCells; ++n) {
        double want = 0;
        for (const Vec3& c : balls.centre)
            want += 6.0 / (std::pow(n % 16 - c.x, 2) + std::pow(n / 16 % 16 - c.y, 2) + std::pow(n / 256 - c.z, 2));
        ASSERT_NEAR(want, field[size_t(n)], want * 1e-4) << "cell " << n;
    }
    const SpriteLook onBall = spriteLook(INFINITY);
    EXPECT_TRUE(onBall.brightness == 1.0f && onBall.size == spriteLook(0.4f).size && std::isfinite(onBall.colour.x));
}

using CFlareGl = EffectGl<writeCFlareData>;
TEST_F(CFlareGl, TheFlaresAddOntoTheBackgroundAndMoveTheSameWayTwice) {
    // Flares add onto the background beyond the red strip along the top.
    const auto frames = playTwice<FX_CFlare>(writeCFlareData, {0, 700, 1500, 3000});
    expectScene(frames, 1.0 / 8 + 1.0 / 40);
    EXPECT_FALSE(frames[1] == frames[3]) << "the balls did not move";
}
