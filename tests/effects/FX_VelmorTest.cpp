#include "effects/FX_Velmor.h"

#include "EffectTestData.h"

using namespace hlvtest;

TEST(FX_Velmor, GridSamplesEveryFifthByteAndWrapsAtTheEdges) {
    std::vector<uint8_t> map(FX_Velmor::kMapBytes, 0);
    map[15 * 512 + 20] = 255;   // sampled: grid row 3, column 4
    map[16 * 512 + 20] = 200;   // between samples: never seen
    std::vector<Vec3> v(FX_Velmor::kCapacity, Vec3{0, 0, 0}), normals(v);
    std::vector<uint32_t> indices(FX_Velmor::kCapacity * 6, 0xDEADu);
    ASSERT_EQ(10404u, FX_Velmor::buildMesh(map.data(), v.data(), normals.data(), indices.data()));
    EXPECT_EQ(0xDEADu, indices[6 * 10404]) << "wrote past the grid's indices";
    for (uint32_t k = 0; k < 10404; ++k) {
        ASSERT_NEAR(0.2 * (k % 102) - 10.24, v[k].x, 1e-5) << k;
        ASSERT_NEAR(0.2 * (k / 102) - 10.24, v[k].z, 1e-5) << k;
        ASSERT_EQ(k == 310 ? 5.1f : 0.0f, v[k].y) << k;
    }
    // Wound against the normals, which point into the level ground (six
    // triangles of 2/11 each); beside the peak they tilt, none renormalised.
    EXPECT_EQ((std::vector<uint32_t>{0, 1, 102, 102, 1, 103}), std::vector<uint32_t>(indices.begin(), indices.begin() + 6));
    EXPECT_LT(maxDiff({normals[5150].x, normals[5150].y, normals[5150].z}, {0, -12.0f / 11.0f, 0}), 1e-5f);
    EXPECT_GT(std::hypot(normals[310 - 1].x, normals[310 - 1].z), 0.1f);
}

// A missing or short map is fatal and named; a longer one is read (its first
// 512 x 512 bytes), so init goes on to the ground texture, absent here.
TEST(FX_Velmor, HeightMapShorterThan512x512IsFatalAndNamedALongerOneIsRead) {
    for (uint32_t size : {0u, 1000u, FX_Velmor::kMapBytes - 1, FX_Velmor::kMapBytes, FX_Velmor::kMapBytes + 1,
                          2 * FX_Velmor::kMapBytes}) {
        EffectWorld world(DisplayChoice{});
        if (size > 0) world.folder.write("velm/canon.raw", std::vector<uint8_t>(size, 7));
        FX_Velmor velmor(world.demo);
        std::string what = "accepted";
        try { velmor.init(); } catch (const FatalError& error) { what = error.what(); }
        const bool shortMap = size < FX_Velmor::kMapBytes;
        EXPECT_EQ(shortMap, what.find("velm/canon.raw") != std::string::npos) << size << " bytes: " << what;
        EXPECT_EQ(!shortMap, what.find("velm/textura.png") != std::string::npos) << size << " bytes: " << what;
        EXPECT_TRUE(!shortMap || size == 0 || what.find(std::to_string(size)) != std::string::npos)
            << "size not named: " << what;
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

// A second init gives the first buffers back; after release nothing is drawn
// from freed ones.  The hills turn counter-clockwise seen from above, 15
// degrees per second, so what lies ahead drifts to the left: the peak's tip
// is where the camera at (0, 2.4, 1), looking at (0, 2, 0) through 45
// degrees, shows it.
TEST_F(VelmorGl, StartKeepsFogLightsTheWorldAndThePeakAheadDriftsLeft) {
    FX_Velmor velmor(world.demo);
    velmor.init();
    velmor.init();
    glEnable(GL_FOG);   // an earlier effect's fog stays
    velmor.start();
    EXPECT_TRUE(glIsEnabled(GL_FOG) && glInt(GL_ACTIVE_TEXTURE) == GL_TEXTURE1) << "the shine's unit stays active";
    // The light went through the camera: world (0, -20, 20) seen from (0, 2.4, 1).
    EXPECT_LT(maxDiff(lightFloats(GL_LIGHT0, GL_POSITION), viewed(0, -20, 20)), 1e-4f);
    releaseAroundAFrame(velmor, 3000);

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
