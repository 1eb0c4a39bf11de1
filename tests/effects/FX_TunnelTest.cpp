#include "effects/FX_Tunnel.h"

#include <utility>

#include "EffectTestData.h"

using namespace hlvtest;

TEST(FX_Tunnel, TwentyOneRingsOfSixtyOnePointsJoinedInBands) {
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
}

TEST(FX_Tunnel, FirstBandFollowsTheCameraAndIsClamped) {
    const std::pair<float, uint32_t> cases[] = {{1200.0f, 0}, {1000.0f, 0}, {950.5f, 0}, {950.0f, 1},  {49.0f, 19},
                                                {0.5f, 19},   {0.0f, 20},   {-300.0f, 20}, {-1e30f, 20}};
    for (const auto& [eyeZ, band] : cases) EXPECT_EQ(band, FX_Tunnel::firstBand(eyeZ)) << eyeZ;
}

static void writeTunnelData(const TempDataFolder& folder) { writePatternPicture(folder, "tunnel/textura.png"); }
using TunnelGl = EffectGl<writeTunnelData>;

// A second init gives the first buffers back; after release nothing is drawn from freed ones.
TEST_F(TunnelGl, StartLightsThroughTheOldViewAndTheFlightCarriesOver) {
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
    tunnel.start();   // a later entry resumes where the camera stopped
    EXPECT_FLOAT_EQ(-994.0f, glFloats(GL_MODELVIEW_MATRIX, 16)[14]);
    const GLint depth = glInt(GL_MODELVIEW_STACK_DEPTH);
    showFrame(tunnel, 3000, 1000);
    EXPECT_TRUE(tunnel.camera().eye[2] == 979.0f && glInt(GL_MODELVIEW_STACK_DEPTH) == depth) << tunnel.camera().eye[2];
    EXPECT_FLOAT_EQ(-994.0f, glFloats(GL_MODELVIEW_MATRIX, 16)[14]) << "render pops its view";
    tunnel.release();
    EXPECT_EQ(0u, tunnel.indicesPerBand());
    showFrame(tunnel, 3100, 100);   // nothing left to draw from
    tunnel.release();
}

TEST(FX_TunnelFrames, RenderAFilledTubeTheSameWayTwice) {
    // Through the long band to the far end of the tube.
    const auto frames = playTwice<FX_Tunnel>(writeTunnelData, {1000, 5000, 30000, 64000}, "tunnel");
    if (frames.empty()) GTEST_SKIP() << "no headless GL context";
    for (const Frame& f : frames) EXPECT_GT(pixelsOtherThan(f, 0x000000FFu), f.size() / 8) << "mostly black";
}
