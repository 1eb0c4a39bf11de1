#include "effects/FX_Tunnel.h"

#include "EffectTestData.h"

using namespace hlvtest;

TEST(FX_Tunnel, TwentyOneRingsOfSixtyOnePointsJoinedInBandsTheFirstFollowingTheCamera) {
    std::vector<Vec3> v(FX_Tunnel::kCapacity, Vec3{0, 0, 0}), normals(v);
    std::vector<uint32_t> indices(FX_Tunnel::kCapacity * 6, 0);
    ASSERT_EQ(7686u, FX_Tunnel::buildMesh(v.data(), normals.data(), indices.data()));   // 21 bands of 366, the last joining ring 0
    EXPECT_EQ(0.0f, length(v[1281])) << "nothing beyond the 21 rings";
    for (uint32_t r = 0; r < 21; ++r) {
        // Rings 50 apart from z = 1000; the 61st point closes the ring a sliver from the first.
        for (uint32_t j = 0; j < 61; ++j) ASSERT_EQ(1000.0f - 50.0f * r, v[r * 61 + j].z) << r;
        const float gap = length(v[r * 61 + 60] - v[r * 61]);
        EXPECT_TRUE(gap > 0.0f && gap < 1e-4f) << "ring " << r << " gap " << gap;
    }
    // Normals: up to six summed thirds, never renormalised; the sliver quad's count in full.
    float longest = 0.0f;
    for (uint32_t i = 0; i < 1281; ++i) longest = std::max(longest, length(normals[i]));
    EXPECT_TRUE(longest > 1.9f && longest <= 2.0f + 1e-5f) << longest;
    EXPECT_GT(length(normals[5 * 61 + 60]), 1.0f);

    const std::pair<float, uint32_t> cases[] = {{1200.0f, 0}, {1000.0f, 0}, {950.5f, 0}, {950.0f, 1},  {49.0f, 19},
                                                {0.5f, 19},   {0.0f, 20},   {-300.0f, 20}, {-1e30f, 20}};
    for (const auto& [eyeZ, band] : cases) EXPECT_EQ(band, FX_Tunnel::firstBand(eyeZ)) << eyeZ;
}

// One grey: only the shape and light show.
static void writeTunnelData(const TempDataFolder& folder) { folder.writeSolidPicture("tunnel/textura.png", 8, 8, 3, 0x909090FFu); }
using TunnelGl = EffectGl<writeTunnelData>;

// How far frame b is from frame a turned counter-clockwise by the given
// degrees about the middle: mean green difference over the middle disc.
double turnedDifference(const Frame& a, const Frame& b, int w, int h, double degrees) {
    const double c = std::cos(degrees * M_PI / 180), s = std::sin(degrees * M_PI / 180);
    double sum = 0, n = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double X = x + 0.5 - w / 2.0, Y = h / 2.0 - y - 0.5;   // y up
            if (std::hypot(X, Y) > h / 2.0 - 2) continue;
            // b shows at (X, Y) what a showed there turned back.
            const int ax = int(std::lround(c * X + s * Y + w / 2.0 - 0.5)), ay = int(std::lround(h / 2.0 - 0.5 - (c * Y - s * X)));
            sum += std::abs(int(a[(size_t(ay) * w + ax) * 4 + 1]) - int(b[(size_t(y) * w + x) * 4 + 1])), ++n;
        }
    }
    return sum / n;
}

// A second init gives the first buffers back; after release nothing is drawn
// from freed ones.  The flight as a viewer sees it: the picture rolling
// counter-clockwise, the far end straight ahead lost in the black fog, the
// walls round it lit, frame after frame.
TEST_F(TunnelGl, StartLightsThroughTheOldViewTheFlightCarriesOverAndThePictureRolls) {
    FX_Tunnel tunnel(world.demo);
    tunnel.init();
    tunnel.init();
    // What the previous effect left: blending, a modelview with a shift.
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glTranslatef(0, 0, -10);
    tunnel.start();
    EXPECT_TRUE(glIsEnabled(GL_BLEND) && glInt(GL_BLEND_SRC) == GL_DST_COLOR);
    EXPECT_FLOAT_EQ(-9.5f, lightFloats(GL_LIGHT0, GL_POSITION)[2]);
    EXPECT_FLOAT_EQ(490.0f, lightFloats(GL_LIGHT1, GL_POSITION)[2]);
    EXPECT_FLOAT_EQ(-1000.0f, glFloats(GL_MODELVIEW_MATRIX, 16)[14]) << "camera at z = 1000 facing the origin";
    EXPECT_EQ(GL_TEXTURE1, glInt(GL_ACTIVE_TEXTURE)) << "the added layer's unit stays active for the frames";

    showFrame(tunnel, 2500, 400);
    EXPECT_TRUE(world.demo.angles.angleZ == 250.0f && tunnel.camera().eye[2] == 994.0f) << "roll by music time, flight by frame time";
    glDisable(GL_BLEND);
    tunnel.start();   // a later entry, after an effect without blending, resumes where the camera stopped
    EXPECT_FLOAT_EQ(-994.0f, glFloats(GL_MODELVIEW_MATRIX, 16)[14]);
    showFrame(tunnel, 3000, 1000);
    EXPECT_EQ(979.0f, tunnel.camera().eye[2]);
    // 100 degrees per second of music time: two frames 0.3 s apart with no
    // flight between them are 30 degrees apart.
    showFrame(tunnel, 1000, 0);
    const Frame before = gl.readPixels();
    showFrame(tunnel, 1300, 0);
    const double ccw = turnedDifference(before, gl.readPixels(), 96, 72, 30);
    const double cw = turnedDifference(before, gl.readPixels(), 96, 72, -30);
    EXPECT_LT(ccw * 3, cw) << "turned counter-clockwise: " << ccw << ", clockwise: " << cw;
    releaseAroundAFrame(tunnel, 3100);

    for (const Frame& f : playTwice<FX_Tunnel>(writeTunnelData, {1000, 5000, 30000, 64000})) {
        double middle = 0, edge = 0;   // mean green of a 15 x 11 box in the middle and of a 16 x 12 border
        for (int y = 0; y < 120; ++y) {
            for (int x = 0; x < 160; ++x) {
                const double green = f[(size_t(y) * 160 + x) * 4 + 1];
                if (std::abs(x - 80) < 8 && std::abs(y - 60) < 6) middle += green / (15 * 11);
                if (x < 16 || x >= 144 || y < 12 || y >= 108) edge += green / (160 * 120 - 128 * 96);
            }
        }
        EXPECT_LT(middle * 4, edge) << "middle " << middle << ", edge " << edge;
    }
}
