#include "effects/FX_Velmor.h"

#include "EffectTestData.h"

using namespace hlvtest;

// A short map is fatal and named with its size; a longer one is read (its
// first 512 x 512 bytes), so init goes on to the ground texture, absent here.
TEST(FX_Velmor, HeightMapShorterThan512x512IsFatalAndNamedALongerOneIsRead) {
    for (uint32_t size : {1000u, FX_Velmor::kMapBytes - 1, FX_Velmor::kMapBytes, 2 * FX_Velmor::kMapBytes}) {
        EffectWorld world(DisplayChoice{});
        world.folder.write("velm/canon.raw", std::vector<uint8_t>(size, 7));
        FX_Velmor velmor(world.demo);
        std::string what = "accepted";
        try { velmor.init(); } catch (const FatalError& error) { what = error.what(); }
        const bool shortMap = size < FX_Velmor::kMapBytes;
        const bool named = what.find("velm/canon.raw") != std::string::npos && what.find(std::to_string(size)) != std::string::npos;
        EXPECT_EQ(shortMap, named) << size << " bytes: " << what;
        EXPECT_EQ(!shortMap, what.find("velm/textura.png") != std::string::npos) << size << " bytes: " << what;
        velmor.release();
    }
}

// Flat ground with one peak 2 units high straight ahead, 6 units from the
// camera, its tip the highest thing on screen: map row 130, column 255 is the
// grid point (-0.04, -5.04).
static void writePeakData(const TempDataFolder& folder) {
    std::vector<uint8_t> map(FX_Velmor::kMapBytes, 0);
    map[130 * 512 + 255] = 100;
    folder.write("velm/canon.raw", map);
    folder.writeSolidPicture("velm/textura.png", 8, 8, 3, 0xC0C0C0FFu);
    folder.writeSolidPicture("velm/brillo.png", 8, 8, 3, 0x303030FFu);
}
using VelmorGl = EffectGl<writePeakData>;

// The hills turn counter-clockwise seen from above, 15 degrees per second,
// so what lies ahead drifts to the left: the peak's tip is where the camera
// at (0, 2.4, 1), looking at (0, 2, 0) through 45 degrees, shows it.
TEST_F(VelmorGl, ThePeakAheadDriftsLeft) {
    const auto frames = playTwice<FX_Velmor>(writePeakData, {0, 1000, 2000});
    for (size_t n = 0; n < frames.size(); ++n) {
        const double turn = 15.0 * double(n) * M_PI / 180;
        const std::vector<double> tip = {-0.04 * std::cos(turn) - 5.04 * std::sin(turn), 2.0,
                                         0.04 * std::sin(turn) - 5.04 * std::cos(turn)};
        const double want = lookAtPixel(tip, {0, 2.4, 1}, {0, 2, 0}, 45, 160, 120)[0];
        // The lit pixels of the three highest rows that show anything.
        const Frame& f = frames[n];
        double sum = 0, count = 0;
        int top = -1;
        for (int y = 0; y < 120 && (top < 0 || y < top + 3); ++y)
            for (int x = 0; x < 160; ++x)
                if (f[(size_t(y) * 160 + x) * 4 + 1] > 16) top = top < 0 ? y : top, sum += x + 0.5, ++count;
        ASSERT_GT(count, 0) << "frame " << n << " is black";
        EXPECT_NEAR(want, sum / count, 3.0) << "frame " << n << ": tip at row " << top;
    }
}
