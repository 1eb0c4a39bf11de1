#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include <epoxy/gl.h>

#include "EffectTestData.h"
#include "effects/FX_SphereBump.h"

namespace {

using hlvtest::EffectWorld;

constexpr SphereBumpShape kShape{-2.05f, -4.8f, 4.3f, 1.0f, 0.0f};

struct SphereMesh {
    std::vector<Vec3> vertices = std::vector<Vec3>(FX_SphereBump::kCapacity, Vec3{0, 0, 0});
    std::vector<Vec3> normals = std::vector<Vec3>(FX_SphereBump::kCapacity, Vec3{0, 0, 0});
    std::vector<uint32_t> indices = std::vector<uint32_t>(FX_SphereBump::kCapacity * 6, 0);
    uint32_t count = 0;
    explicit SphereMesh(const SphereBumpShape& s) {
        count = FX_SphereBump::buildMesh(s, vertices.data(), normals.data(), indices.data());
    }
};

TEST(FX_SphereBump, MeshIs27RingsOf31FromPoleToPole) {
    const SphereMesh m(kShape);
    ASSERT_EQ(1612u, m.count);
    EXPECT_EQ(0.0f, length(m.vertices[837])) << "nothing past 837 vertices";

    // The bottom ring collapses onto the pole at y = -2.
    for (uint32_t j = 0; j < 31; ++j) {
        EXPECT_NEAR(0.0f, std::hypot(m.vertices[j].x, m.vertices[j].z), 1e-6f);
        EXPECT_NEAR(-2.0f, m.vertices[j].y, 1e-5f);
    }
    // Each ring's last point sits at the first one's angle (theta reaches
    // 2 pi) and height, in the x-y plane; a bump frequency that is not whole
    // leaves a seam in the radius there (which may even be negative).
    for (uint32_t r = 1; r < 27; ++r) {
        const Vec3 a = m.vertices[r * 31], b = m.vertices[r * 31 + 30];
        EXPECT_EQ(0.0f, a.z) << "ring " << r;
        EXPECT_NEAR(0.0f, b.z, 5e-5f) << "ring " << r;
        EXPECT_EQ(a.y, b.y) << "ring " << r;
    }

    // Ring 1 (w = -1.85), point 0, straight from the definition.
    const double pi = 3.141592, w = -1.85;
    const double ring = std::sin((w + 2) * 0.25 * pi);
    const double R = 2 + kShape.bumpAmplitude * std::sin(kShape.bumpFrequency * std::cos(kShape.twistFrequency * w));
    EXPECT_NEAR(R * ring, m.vertices[31].x, 1e-4);
    EXPECT_NEAR(2 * std::sin(-w * 0.25 * pi - pi), m.vertices[31].y, 1e-4);
    EXPECT_EQ(0.0f, m.vertices[31].z);
    // Top ring at w = 1.9: just under the top pole.
    EXPECT_NEAR(2 * std::sin(-1.9 * 0.25 * pi - pi), m.vertices[26 * 31].y, 1e-4);
}

TEST(FX_SphereBump, StripZigzagsRingAfterRing) {
    const SphereMesh m(kShape);
    EXPECT_EQ(32u, m.indices[0]);   // vertex 0: next ring's next point, then its own next
    EXPECT_EQ(1u, m.indices[1]);
    EXPECT_EQ(31u, m.indices[60]);  // vertex 30 closes ring 0 onto point 0
    EXPECT_EQ(0u, m.indices[61]);
    EXPECT_EQ(806u, m.indices[1610]);   // vertex 805, the last that starts a quad
    EXPECT_EQ(775u, m.indices[1611]);
    EXPECT_EQ(0u, m.indices[1612]);
}

TEST(FX_SphereBump, NormalsSurviveThePoleAndStayUnnormalised) {
    const SphereMesh m(kShape);
    for (uint32_t i = 0; i < 837; ++i) ASSERT_TRUE(std::isfinite(length(m.normals[i]))) << "vertex " << i;
    EXPECT_GT(length(m.normals[31 + 5]), 0.0f) << "the ring above the pole is still lit";
}

TEST(FX_SphereBump, FadeRunsFromOneToZeroOver14Seconds) {
    EXPECT_NEAR(1.0f, FX_SphereBump::fade(149300), 1e-6f);
    EXPECT_NEAR(0.70710678f, FX_SphereBump::fade(156300), 1e-5f);
    EXPECT_EQ(0.0f, FX_SphereBump::fade(163300));
    // Before the fade the difference wraps: a huge negative angle, so the
    // factor is some sine value, not a clamp to 1.
    float lowest = 1.0f;
    for (uint32_t t = 0; t < 149300; t += 997) {
        const float c = FX_SphereBump::fade(t);
        ASSERT_GE(c, -1.0f);
        ASSERT_LE(c, 1.0f);
        lowest = std::min(lowest, c);
    }
    EXPECT_LT(lowest, 0.0f);

    const Vec3 full = FX_SphereBump::tint(1.0f);
    EXPECT_NEAR(0.21f, full.x, 0.001f);
    EXPECT_NEAR(0.31f, full.y, 0.001f);
    EXPECT_NEAR(0.39f, full.z, 0.001f);
    const Vec3 faded = FX_SphereBump::tint(FX_SphereBump::fade(163300));
    EXPECT_NEAR(0.1f * 67 / 255, faded.x, 1e-6f);
    EXPECT_NEAR(0.1f * 124 / 255, faded.z, 1e-6f);
}

TEST(FX_SphereBump, FlaresBrightenTowardsVertex403AndFadeWithTheSphere) {
    const uint32_t n = FX_SphereBump::kStripIndices;
    ASSERT_EQ(832u, n - FX_SphereBump::kFlareShortfall);
    EXPECT_EQ(0.0f, FX_SphereBump::flareBrightness(0, n, 1.0f));
    EXPECT_NEAR(0.6f, FX_SphereBump::flareBrightness(403, n, 1.0f), 1e-5f);
    EXPECT_LT(FX_SphereBump::flareBrightness(806, n, 1.0f), 0.005f);
    EXPECT_GT(FX_SphereBump::flareBrightness(200, n, 1.0f), FX_SphereBump::flareBrightness(100, n, 1.0f));
    EXPECT_NEAR(0.3f, FX_SphereBump::flareBrightness(403, n, 0.5f), 1e-5f);
    EXPECT_EQ(0.0f, FX_SphereBump::flareBrightness(403, n, FX_SphereBump::fade(163300)));
}

TEST(FX_SphereBump, TurnFollowsTheFadeAndTheSpin) {
    DemoContext demo;
    demo.angles = {0, 100, 0};
    FX_SphereBump sphere(demo);
    sphere.advance(149300, 25);   // a spin starts; no step in its first frame
    EXPECT_EQ(30.0f, demo.angles.angleX);
    EXPECT_FLOAT_EQ(98.0f, demo.angles.angleY) << "80 degrees per second at full fade";
    EXPECT_TRUE(sphere.rhythm().spinning);

    sphere.advance(149325, 25);   // spin step: 5 more per 25 ms
    const float c = FX_SphereBump::fade(149325);
    EXPECT_NEAR(98.0f - 7.0f * c, demo.angles.angleY, 1e-4f);

    const float before = demo.angles.angleY;
    sphere.advance(149340, 0);   // a step falls due, but no time passed
    EXPECT_EQ(before, demo.angles.angleY);
    EXPECT_EQ(149340u, sphere.rhythm().lastSpinTime);

    sphere.advance(163300, 40);   // fully faded: the sphere stands still
    sphere.advance(163300, 40);
    EXPECT_EQ(before, demo.angles.angleY);
}

class SphereGl : public ::testing::Test {
protected:
    hlvtest::HeadlessGl gl{96, 72};
    EffectWorld world{gl.choice()};

    void SetUp() override {
        HLV_REQUIRE_GL(gl);
        writeData(world.folder);
    }

public:
    static void writeData(const hlvtest::TempDataFolder& folder) {
        hlvtest::writePatternPicture(folder, "sphereb/textura.png");
        folder.writeSolidPicture("sphereb/FLARE.png", 8, 8, 3, 0xC0C0C0FFu);
        hlvtest::writeLayerSet(folder, 6);
    }
};

TEST_F(SphereGl, StartAddsOnUnitZeroAndLeavesLightOne) {
    FX_SphereBump sphere(world.demo);
    sphere.init();
    EXPECT_EQ(1612u, sphere.indexCount());

    const GLfloat unusual[] = {0.1f, 0.2f, 0.3f, 1.0f};
    glLightfv(GL_LIGHT1, GL_DIFFUSE, unusual);
    glEnable(GL_LIGHT1);
    glActiveTexture(GL_TEXTURE1);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    sphere.start();

    EXPECT_EQ(GL_TEXTURE0, hlvtest::glInt(GL_ACTIVE_TEXTURE));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D) && glIsEnabled(GL_TEXTURE_GEN_T));
    GLint mode = 0;
    glGetTexGeniv(GL_S, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(GL_EYE_LINEAR, mode);
    glActiveTexture(GL_TEXTURE1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S));
    glActiveTexture(GL_TEXTURE0);

    EXPECT_TRUE(glIsEnabled(GL_LIGHT1)) << "light 1 is not touched";
    EXPECT_FLOAT_EQ(0.2f, hlvtest::lightFloats(GL_LIGHT1, GL_DIFFUSE)[1]);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(GL_ONE, hlvtest::glInt(GL_BLEND_SRC));
    EXPECT_EQ(GL_ONE, hlvtest::glInt(GL_BLEND_DST));
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE) || glIsEnabled(GL_DEPTH_TEST));

    // A frame puts everything back: texture generation on, the view unchanged.
    const GLint depth = hlvtest::glInt(GL_MODELVIEW_STACK_DEPTH);
    const std::vector<float> view = hlvtest::glFloats(GL_MODELVIEW_MATRIX, 16);
    hlvtest::showFrame(sphere, 150000, 40);
    EXPECT_EQ(depth, hlvtest::glInt(GL_MODELVIEW_STACK_DEPTH));
    EXPECT_EQ(view, hlvtest::glFloats(GL_MODELVIEW_MATRIX, 16));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S) && glIsEnabled(GL_TEXTURE_GEN_T));
    sphere.release();
}

constexpr int kFrameW = 160, kFrameH = 120;

std::vector<std::vector<uint8_t>> playSphere(const char* tag) {
    hlvtest::HeadlessGl gl(kFrameW, kFrameH);
    if (!gl.ok()) return {};
    EffectWorld world(gl.choice());
    SphereGl::writeData(world.folder);
    FX_SphereBump sphere(world.demo);
    sphere.init();
    sphere.start();
    std::vector<std::vector<uint8_t>> frames;
    for (uint32_t t : {149300u, 151000u, 156300u, 162000u}) {
        hlvtest::showFrame(sphere, t, 40);
        frames.push_back(gl.readPixels());
        hlvtest::dumpFrame(std::string("sphere-") + tag + "-" + std::to_string(t), kFrameW, kFrameH,
                           frames.back());
    }
    sphere.release();
    return frames;
}

TEST(FX_SphereBumpFrames, RenderTheSphereTheSameWayTwice) {
    const auto first = playSphere("a");
    if (first.empty()) GTEST_SKIP() << "no headless GL context";
    const auto second = playSphere("b");
    ASSERT_EQ(first.size(), second.size());
    for (size_t n = 0; n < first.size(); ++n) {
        EXPECT_GT(hlvtest::pixelsOtherThan(first[n], 0x101830FFu), size_t(kFrameW * kFrameH / 10)) << n;
        EXPECT_EQ(first[n], second[n]) << "frame " << n << " differs between runs";
    }
    // The flares and the sphere fade: the full frame outshines the faded one.
    auto sum = [](const std::vector<uint8_t>& f) {
        uint64_t s = 0;
        for (size_t i = 0; i < f.size(); i += 4) s += f[i] + f[i + 1] + f[i + 2];
        return s;
    };
    EXPECT_GT(sum(first[0]), sum(first[3]));
}

}  // namespace
