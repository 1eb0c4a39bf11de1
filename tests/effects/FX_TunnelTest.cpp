#include "effects/FX_Tunnel.h"

#include "EffectTestData.h"

using namespace hlvtest;

// The band drawn first follows the camera down the 21 bands of 50 units from
// z = 1000, and stays inside them wherever the camera goes.
TEST(FX_Tunnel, FirstBandDrawnFollowsTheCameraAndStaysInsideTheTunnel) {
    const std::pair<float, uint32_t> cases[] = {{1200.0f, 0}, {950.5f, 0}, {950.0f, 1}, {0.5f, 19}, {0.0f, 20}, {-1e30f, 20}};
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

// The flight as a viewer sees it: the picture rolling
// counter-clockwise, the far end straight ahead lost in the black fog, the
// walls round it lit, frame after frame.
TEST_F(TunnelGl, StartLightsThroughTheOldViewTheFlightCarriesOverAndThePictureRolls) {
    FX_Tunnel tunnel(world.demo);
    tunnel.init();
    glTranslatef(0, 0, -10);   // what the previous effect left
    tunnel.start();
    EXPECT_FLOAT_EQ(-9.5f, lightFloats(GL_LIGHT0, GL_POSITION)[2]) << "placed through the old view";

    showFrame(tunnel, 2500, 400);
    const float flown = tunnel.camera().eye[2];
    tunnel.start();   // a later entry resumes where the camera stopped
    EXPECT_TRUE(flown < 1000.0f && glFloats(GL_MODELVIEW_MATRIX, 16)[14] == -flown) << flown;
    // 100 degrees per second of music time: two frames 0.3 s apart with no
    // flight between them are 30 degrees apart.
    showFrame(tunnel, 1000, 0);
    const Frame before = gl.readPixels();
    showFrame(tunnel, 1300, 0);
    const double ccw = turnedDifference(before, gl.readPixels(), 96, 72, 30);
    const double cw = turnedDifference(before, gl.readPixels(), 96, 72, -30);
    EXPECT_LT(ccw * 3, cw) << "turned counter-clockwise: " << ccw << ", clockwise: " << cw;
    tunnel.release();

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
