#include "effects/FX_GOA.h"

#include "EffectTestData.h"

using namespace hlvtest;

TEST(FX_GOA, RingsCentreOnRow255AndPeakAt128) {
    std::vector<uint8_t> rings(FX_GOA::kRingBytes, 0xEE);
    FX_GOA::fillRings(rings.data(), 512);
    auto at = [&](int r, int c) { return int(rings[r * 512 + c]); };
    EXPECT_EQ(128, *std::max_element(rings.begin(), rings.end()));
    // Round: a quarter turn about the centre lands on the same height.
    for (auto [dr, dc] : {std::pair{0, 31}, {-255, -255}, {40, 200}, {-100, 3}, {17, 0}})
        EXPECT_EQ(at(255 + dr, 255 + dc), at(255 + dc, 255 - dr)) << dr << ", " << dc;
    EXPECT_NE(at(255, 255 + 31), at(255, 255 + 62)) << "no rings";
}

// The windows wander (the landscape rolls) but never past 220, so every read
// of the ring images stays inside them; their sum saturates per byte.
TEST(FX_GOA, WindowsWanderInsideTheRingImagesAndTheirSumSaturatesPerByte) {
    uint32_t lowest = 255, highest = 0;
    for (uint32_t t = 0; t < 200000; t += 997) {
        const GoaWindows w = FX_GOA::windowsAt(t);
        for (uint32_t origin : {w.x1, w.y1, w.x2, w.y2}) {
            ASSERT_TRUE(origin >= 20 && origin <= 220) << "t = " << t << ": " << origin;
            lowest = std::min(lowest, origin);
            highest = std::max(highest, origin);
        }
    }
    EXPECT_GT(highest - lowest, 150u) << "the windows hardly move";

    std::vector<uint8_t> a(FX_GOA::kRingBytes), b(FX_GOA::kRingBytes), field(FX_GOA::kFieldBytes, 0x5A);
    DemoRandom random;
    for (uint32_t i = 0; i < FX_GOA::kRingBytes; ++i) a[i] = uint8_t(random.next()), b[i] = uint8_t(random.next());
    FX_GOA::sumWindows(a.data(), b.data(), GoaWindows{20, 20, 243, 220}, field.data());   // random bytes: half saturate
    for (uint32_t r = 0; r < 255; ++r)
        for (uint32_t c = 0; c < 256; ++c)
            ASSERT_EQ(std::min(255, a[(20 + r) * 512 + 20 + c] + b[(220 + r) * 512 + 243 + c]), field[r * 256 + c])
                << r << ", " << c;
}

// Under a white texture each grid point's grey is its height.
static void writeGoaData(const TempDataFolder& folder) { folder.writeSolidPicture("goa/textura.png", 8, 8, 3, 0xFFFFFFFFu); }
using GoaGl = EffectGl<writeGoaData>;

// High ground is bright: the points nearer the camera (0, 10, -30) than the
// fog's start show the heights the two windows give at that moment, rows of
// the field running away from the camera and columns across.
TEST_F(GoaGl, StartWorksOnTheActiveUnitAndNearGroundIsAsBrightAsItIsHigh) {
    FX_GOA goa(world.demo);
    goa.init();
    glActiveTexture(GL_TEXTURE1);   // an earlier effect left unit 1 active
    goa.start();
    EXPECT_EQ(GL_TEXTURE1, glInt(GL_ACTIVE_TEXTURE));
    goa.release();

    constexpr uint32_t kTime = 70000;
    const auto frames = playTwice<FX_GOA>(writeGoaData, {kTime});
    std::vector<uint8_t> rings(FX_GOA::kRingBytes), field(FX_GOA::kFieldBytes, 0);
    FX_GOA::fillRings(rings.data(), 512);
    FX_GOA::sumWindows(rings.data(), rings.data(), FX_GOA::windowsAt(kTime), field.data());
    int near = 0, matching = 0;
    for (int row = 0; row < 51; ++row) {
        for (int column = 0; column < 51; ++column) {
            const int height = field[row * 5 * 256 + column * 5];
            const std::vector<double> point = {0.9 * column - 23.04, 0.01 * height, 0.9 * row - 23.04};
            const std::vector<double> at = lookAtPixel(point, {0, 10, -30}, {0, 0, 0}, 45, 160, 120);
            if (std::hypot(point[0], point[1] - 10, point[2] + 30) > 19 || at[0] < 2 || at[0] > 158 || at[1] < 2 || at[1] > 118)
                continue;
            const int grey = frames[0][(size_t(at[1]) * 160 + size_t(at[0])) * 4 + 1];
            ++near, matching += std::abs(grey - height) <= 12;
        }
    }
    ASSERT_GT(near, 40);
    EXPECT_GT(matching, near * 8 / 10) << near << " near points";
}
