#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include <epoxy/gl.h>

#include "EffectTestData.h"
#include "effects/FX_Tunnel.h"
#include "resources/Image.h"

namespace {

using hlvtest::EffectWorld;

struct TunnelMesh {
    std::vector<Vec3> vertices = std::vector<Vec3>(FX_Tunnel::kCapacity, Vec3{0, 0, 0});
    std::vector<Vec3> normals = std::vector<Vec3>(FX_Tunnel::kCapacity, Vec3{0, 0, 0});
    std::vector<uint32_t> indices = std::vector<uint32_t>(FX_Tunnel::kCapacity * 6, 0);
    uint32_t count = FX_Tunnel::buildMesh(vertices.data(), normals.data(), indices.data());
};

TEST(FX_Tunnel, RingsAreSixtyOnePointsStepping50Deep) {
    TunnelMesh m;
    ASSERT_EQ(FX_Tunnel::kVertexCount, 1281u);
    ASSERT_EQ(7686u, m.count);
    EXPECT_EQ(0.0f, length(m.vertices[1281])) << "nothing beyond the 21 rings";

    for (uint32_t r = 0; r < 21; ++r) {
        for (uint32_t j = 0; j < 61; ++j) EXPECT_EQ(1000.0f - 50.0f * r, m.vertices[r * 61 + j].z);
        // The 61st point closes the ring: a sliver away from the first, not on it.
        const float gap = length(m.vertices[r * 61 + 60] - m.vertices[r * 61]);
        EXPECT_GT(gap, 0.0f) << "ring " << r;
        EXPECT_LT(gap, 1e-4f) << "ring " << r;
    }
    // Ring 0 (s = 100), angle 0: lobe factor 1, centre (cos 200, sin 200).
    const double R = 4.0 * std::sin(5.0) + 7.0;
    EXPECT_NEAR(R + std::cos(200.0), m.vertices[0].x, 1e-4);
    EXPECT_NEAR(std::sin(200.0), m.vertices[0].y, 1e-4);
    // A quarter turn round (point 15): sin(3a) = -1, lobe factor 0.5, height Ry.
    EXPECT_NEAR(std::cos(200.0), m.vertices[15].x, 1e-4);
    EXPECT_NEAR(0.5 * (R + 0.5) + std::sin(200.0), m.vertices[15].y, 1e-4);
}

TEST(FX_Tunnel, BandsJoinConsecutiveRingsAndTheLastJoinsBack) {
    TunnelMesh m;
    const uint32_t perBand = FX_Tunnel::kIndicesPerBand;
    ASSERT_EQ(366u, perBand);
    for (uint32_t band = 0; band <= 20; ++band) {
        const uint32_t next = (band + 1) % 21;
        for (uint32_t n = 0; n < perBand; ++n) {
            const uint32_t ring = m.indices[band * perBand + n] / 61;
            ASSERT_TRUE(ring == band || ring == next) << "band " << band << " index " << n;
        }
    }
}

TEST(FX_Tunnel, NormalsAreSummedThirdsNeverRenormalised) {
    TunnelMesh m;
    float longest = 0.0f;
    for (uint32_t i = 0; i < 1281; ++i) longest = std::max(longest, length(m.normals[i]));
    EXPECT_LE(longest, 2.0f + 1e-5f) << "six thirds at most";
    EXPECT_GT(longest, 1.9f) << "summed normals were normalised again";
    // The sliver quad's face normals still count in full.
    EXPECT_GT(length(m.normals[5 * 61 + 60]), 1.0f);
}

TEST(FX_Tunnel, FirstBandFollowsTheCameraAndIsClamped) {
    EXPECT_EQ(0u, FX_Tunnel::firstBand(1000.0f));
    EXPECT_EQ(0u, FX_Tunnel::firstBand(950.5f));
    EXPECT_EQ(1u, FX_Tunnel::firstBand(950.0f));
    EXPECT_EQ(19u, FX_Tunnel::firstBand(49.0f));
    EXPECT_EQ(19u, FX_Tunnel::firstBand(0.5f));
    EXPECT_EQ(20u, FX_Tunnel::firstBand(0.0f));
    EXPECT_EQ(20u, FX_Tunnel::firstBand(-300.0f));
    EXPECT_EQ(20u, FX_Tunnel::firstBand(-1e30f));
    EXPECT_EQ(0u, FX_Tunnel::firstBand(1200.0f));
}

class TunnelGl : public ::testing::Test {
protected:
    hlvtest::HeadlessGl gl{96, 72};
    EffectWorld world{gl.choice()};

    void SetUp() override {
        HLV_REQUIRE_GL(gl);
        hlvtest::writePatternPicture(world.folder, "tunnel/textura.png");
    }
};

TEST_F(TunnelGl, StartSetsItsStateAndLeavesBlendingAlone) {
    FX_Tunnel tunnel(world.demo);
    tunnel.init();
    EXPECT_EQ(366u, tunnel.indicesPerBand());

    // What the previous effect left: blending, a modelview with a shift.
    glEnable(GL_BLEND);
    glBlendFunc(GL_DST_COLOR, GL_ZERO);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -10);
    world.demo.angles = {10, 20, 30};
    tunnel.start();

    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(GL_DST_COLOR, hlvtest::glInt(GL_BLEND_SRC));
    EXPECT_EQ(0.0f, world.demo.angles.angleX + world.demo.angles.angleY + world.demo.angles.angleZ);

    // Light positions went through the old modelview.
    EXPECT_FLOAT_EQ(-9.5f, hlvtest::lightFloats(GL_LIGHT0, GL_POSITION)[2]);
    EXPECT_FLOAT_EQ(490.0f, hlvtest::lightFloats(GL_LIGHT1, GL_POSITION)[2]);
    EXPECT_TRUE(glIsEnabled(GL_FOG) && glIsEnabled(GL_CULL_FACE) && glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FLOAT_EQ(55.0f, hlvtest::glFloats(GL_FOG_END, 1)[0]);
    // Camera at z = 1000 looking at the origin.
    EXPECT_FLOAT_EQ(-1000.0f, hlvtest::glFloats(GL_MODELVIEW_MATRIX, 16)[14]);

    // Unit 1 stays active: the added, eye-linear layer.
    EXPECT_EQ(GL_TEXTURE1, hlvtest::glInt(GL_ACTIVE_TEXTURE));
    EXPECT_EQ(GLint(tunnel.texture()), hlvtest::glInt(GL_TEXTURE_BINDING_2D));
    GLint env = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(GL_COMBINE, env);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_COMBINE_RGB, &env);
    EXPECT_EQ(GL_ADD, env);
    GLint mode = 0;
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(GL_EYE_LINEAR, mode);
    EXPECT_FLOAT_EQ(1.0f, hlvtest::texGenFloats(GL_T, GL_EYE_PLANE)[1]) << "eye planes keep defaults";

    // Unit 0: modulated, object-linear along x and z.
    glActiveTexture(GL_TEXTURE0);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_COMBINE_RGB, &env);
    EXPECT_EQ(GL_MODULATE, env);
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(GL_OBJECT_LINEAR, mode);
    EXPECT_FLOAT_EQ(0.04f, hlvtest::texGenFloats(GL_T, GL_OBJECT_PLANE)[2]);
    tunnel.release();
}

TEST_F(TunnelGl, CameraFlightAndRollCarryOverBetweenStarts) {
    FX_Tunnel tunnel(world.demo);
    tunnel.init();
    tunnel.start();
    hlvtest::showFrame(tunnel, 2500, 400);
    EXPECT_FLOAT_EQ(250.0f, world.demo.angles.angleZ);
    EXPECT_FLOAT_EQ(1000.0f - 6.0f, tunnel.camera().eye[2]);

    tunnel.start();   // a later entry resumes where the camera stopped
    EXPECT_FLOAT_EQ(994.0f, tunnel.camera().eye[2]);
    EXPECT_FLOAT_EQ(-994.0f, hlvtest::glFloats(GL_MODELVIEW_MATRIX, 16)[14]);
    const GLint depth = hlvtest::glInt(GL_MODELVIEW_STACK_DEPTH);
    hlvtest::showFrame(tunnel, 3000, 1000);
    EXPECT_FLOAT_EQ(979.0f, tunnel.camera().eye[2]);
    EXPECT_EQ(depth, hlvtest::glInt(GL_MODELVIEW_STACK_DEPTH));
    EXPECT_FLOAT_EQ(-994.0f, hlvtest::glFloats(GL_MODELVIEW_MATRIX, 16)[14]) << "render pops its view";
    tunnel.release();
}

constexpr int kFrameW = 160, kFrameH = 120;

// Frames at a few points of the flight, including the long band and the
// far end; each frame: (time, delta) after the previous one.
std::vector<std::vector<uint8_t>> flyTunnel(const char* tag) {
    hlvtest::HeadlessGl gl(kFrameW, kFrameH);
    if (!gl.ok()) return {};
    EffectWorld world(gl.choice());
    hlvtest::writePatternPicture(world.folder, "tunnel/textura.png");
    FX_Tunnel tunnel(world.demo);
    tunnel.init();
    tunnel.start();
    std::vector<std::vector<uint8_t>> frames;
    const uint32_t times[][2] = {{1000, 40}, {5000, 4000}, {30000, 25000}, {64000, 34000}};
    int n = 0;
    for (const auto& [t, dt] : times) {
        hlvtest::showFrame(tunnel, t, dt);
        frames.push_back(gl.readPixels());
        hlvtest::dumpFrame(std::string("tunnel-") + tag + "-" + std::to_string(n++), kFrameW, kFrameH, frames.back());
    }
    tunnel.release();
    return frames;
}

TEST(FX_TunnelFrames, RenderAFilledTubeTheSameWayTwice) {
    const auto first = flyTunnel("a");
    if (first.empty()) GTEST_SKIP() << "no headless GL context";
    const auto second = flyTunnel("b");
    ASSERT_EQ(first.size(), second.size());
    for (size_t n = 0; n < first.size(); ++n) {
        EXPECT_GT(hlvtest::pixelsOtherThan(first[n], 0x000000FFu), first[n].size() / 4 / 2)
            << "frame " << n << " is mostly black";
        EXPECT_EQ(first[n], second[n]) << "frame " << n << " differs between runs";
    }
}

}  // namespace
