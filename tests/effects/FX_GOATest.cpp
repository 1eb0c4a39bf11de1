#include "effects/FX_GOA.h"

#include "EffectTestData.h"

using namespace hlvtest;

TEST(FX_GOA, RingsCentreOnRow255AndPeakAt128) {
    std::vector<uint8_t> rings(FX_GOA::kRingBytes, 0xEE);
    FX_GOA::fillRings(rings.data(), 512);
    auto at = [&](int r, int c) { return int(rings[r * 512 + c]); };
    EXPECT_EQ(0, at(255, 255));
    EXPECT_EQ(128, *std::max_element(rings.begin(), rings.end()));
    // Round: a quarter turn about the centre lands on the same height.
    for (auto [dr, dc] : {std::pair{0, 31}, {-255, -255}, {40, 200}, {-100, 3}, {17, 0}})
        EXPECT_EQ(at(255 + dr, 255 + dc), at(255 + dc, 255 - dr)) << dr << ", " << dc;
    EXPECT_NE(at(255, 255 + 31), at(255, 255 + 62)) << "no rings";
}

// Window A goes round a circle at 0.3 radians per second, starting at the
// bottom of it; window B runs a figure-eight at 0.48, its columns swinging
// twice for each swing of its rows.  Origins are 20 + |100 f + 100|, cut to
// whole pixels, so every window stays inside the ring images.
TEST(FX_GOA, WindowsRunACircleAndAFigureEightAndTheirSumSaturatesPerByte) {
    auto origin = [](double f) { return 20.0 + 100.0 * f + 100.0; };
    for (uint32_t t = 0; t < 200000; t += 997) {
        const GoaWindows w = FX_GOA::windowsAt(t);
        const double a = 0.3 * t / 1000.0, b = 0.48 * t / 1000.0;
        ASSERT_NEAR(origin(std::sin(a)), w.x1, 1.0) << t;
        ASSERT_NEAR(origin(std::cos(a)), w.y1, 1.0) << t;
        ASSERT_NEAR(origin(std::cos(2 * b)), w.x2, 1.0) << t;
        ASSERT_NEAR(origin(std::sin(b)), w.y2, 1.0) << t;
    }

    std::vector<uint8_t> a(FX_GOA::kRingBytes), b(FX_GOA::kRingBytes), field(FX_GOA::kFieldBytes, 0x5A);
    DemoRandom random;
    for (uint32_t i = 0; i < FX_GOA::kRingBytes; ++i) a[i] = uint8_t(random.next()), b[i] = uint8_t(random.next());
    FX_GOA::sumWindows(a.data(), b.data(), GoaWindows{20, 20, 243, 220}, field.data());   // random bytes: half saturate
    for (uint32_t r = 0; r < 255; ++r)
        for (uint32_t c = 0; c < 256; ++c)
            ASSERT_EQ(std::min(255, a[(20 + r) * 512 + 20 + c] + b[(220 + r) * 512 + 243 + c]), field[r * 256 + c])
                << r << ", " << c;
    for (uint32_t c = 0; c < 256; ++c) ASSERT_EQ(0x5A, field[255 * 256 + c]) << "row 255 is never written";
}

// A rest of 800 is not more than 800; the burst begins with no turn, then one
// step per frame, however long; more than 500 after the start it still turns, then rests.
TEST(FX_GOA, TurnsInBurstsOfHalfASecondAfterRestsOf800Ms) {
    DemoContext demo;
    FX_GOA goa(demo);
    for (const auto& [t, dt, angle] : {std::tuple{800u, 16u, 0.0f}, {801u, 1u, 0.0f}, {851u, 50u, 5.0f}, {1301u, 450u, 50.0f},
                                       {1302u, 1u, 50.1f}, {2102u, 800u, 50.1f}}) {
        goa.turn(t, dt);
        EXPECT_FLOAT_EQ(angle, demo.angles.angleY) << "t = " << t;
    }
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
    EXPECT_FLOAT_EQ(0.7f, lightFloats(GL_LIGHT0, GL_DIFFUSE)[0]) << "set for whoever lights next, though lighting ends up off";
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
