#include "effects/FX_Tunnel.h"

#include "EffectTestData.h"

namespace {

using namespace hlvtest;

struct TunnelMesh {
    std::vector<Vec3> vertices = std::vector<Vec3>(FX_Tunnel::kCapacity, Vec3{0, 0, 0});
    std::vector<Vec3> normals = std::vector<Vec3>(FX_Tunnel::kCapacity, Vec3{0, 0, 0});
    std::vector<uint32_t> indices = std::vector<uint32_t>(FX_Tunnel::kCapacity * 6, 0);
    uint32_t count = FX_Tunnel::buildMesh(vertices.data(), normals.data(), indices.data());
};

TEST(FX_Tunnel, TwentyOneRingsOfSixtyOnePointsJoinedInBands) {
    TunnelMesh m;
    ASSERT_EQ(7686u, m.count);   // 21 bands of 366, the last joining back to ring 0
    EXPECT_EQ(0.0f, length(m.vertices[1281])) << "nothing beyond the 21 rings";
    for (uint32_t r = 0; r < 21; ++r) {
        // Rings 50 apart from z = 1000; the 61st point closes the ring: a
        // sliver away from the first, not on it.
        for (uint32_t j = 0; j < 61; ++j) ASSERT_EQ(1000.0f - 50.0f * r, m.vertices[r * 61 + j].z) << r;
        const float gap = length(m.vertices[r * 61 + 60] - m.vertices[r * 61]);
        EXPECT_TRUE(gap > 0.0f && gap < 1e-4f) << "ring " << r << " gap " << gap;
        for (uint32_t n = 0; n < 366; ++n)
            ASSERT_TRUE(m.indices[r * 366 + n] / 61 == r || m.indices[r * 366 + n] / 61 == (r + 1) % 21) << "band " << r << " index " << n;
    }
    // Normals: six summed thirds at most, never normalised again; the sliver
    // quad's face normals still count in full.
    float longest = 0.0f;
    for (uint32_t i = 0; i < 1281; ++i) longest = std::max(longest, length(m.normals[i]));
    EXPECT_TRUE(longest > 1.9f && longest <= 2.0f + 1e-5f) << longest;
    EXPECT_GT(length(m.normals[5 * 61 + 60]), 1.0f);
}

TEST(FX_Tunnel, FirstBandFollowsTheCameraAndIsClamped) {
    const std::pair<float, uint32_t> cases[] = {{1200.0f, 0}, {1000.0f, 0}, {950.5f, 0}, {950.0f, 1},  {49.0f, 19},
                                                {0.5f, 19},   {0.0f, 20},   {-300.0f, 20}, {-1e30f, 20}};
    for (const auto& [eyeZ, band] : cases) EXPECT_EQ(band, FX_Tunnel::firstBand(eyeZ)) << eyeZ;
}

void writeTunnelData(const TempDataFolder& folder) { writePatternPicture(folder, "tunnel/textura.png"); }
using TunnelGl = EffectGl<writeTunnelData>;

TEST_F(TunnelGl, StartLeavesBlendingAndLightsThroughTheOldView) {
    FX_Tunnel tunnel(world.demo);
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
    // Unit 1, the added layer, stays active for the frames.
    EXPECT_EQ(GL_TEXTURE1, glInt(GL_ACTIVE_TEXTURE));
    tunnel.release();
}

// A second init gives the first buffers back (valgrind shows it when it does
// not); after release nothing is drawn from freed buffers.
TEST_F(TunnelGl, CameraFlightCarriesOverBetweenStartsAndReleaseIsSafe) {
    FX_Tunnel tunnel(world.demo);
    tunnel.init();
    tunnel.init();
    tunnel.start();
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
    for (size_t n = 0; n < frames.size(); ++n)
        EXPECT_GT(pixelsOtherThan(frames[n], 0x000000FFu), frames[n].size() / 8) << "frame " << n << " is mostly black";
}

}  // namespace
