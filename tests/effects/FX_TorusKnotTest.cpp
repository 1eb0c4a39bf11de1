#include <cmath>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <epoxy/gl.h>

#include "EffectTestData.h"
#include "effects/FX_TorusKnot.h"

namespace {

using hlvtest::EffectWorld;

constexpr float kCurveStep = 0.017453289f;   // one ring per degree of u

struct KnotMesh {
    std::vector<Vec3> vertices = std::vector<Vec3>(FX_TorusKnot::kCapacity, Vec3{0, 0, 0});
    std::vector<Vec3> normals = std::vector<Vec3>(FX_TorusKnot::kCapacity, Vec3{0, 0, 0});
    std::vector<uint32_t> indices = std::vector<uint32_t>(FX_TorusKnot::kCapacity * 6, 0);
    uint32_t triangles = 0;
    explicit KnotMesh(const KnotShape& s) {
        triangles = FX_TorusKnot::buildKnot(s, vertices.data(), normals.data(), indices.data());
    }
};

// The knot curve, in double precision, straight from its definition.
void curve(double p, double q, double u, double out[3]) {
    const double m = (std::sin(q * u) + 2.0) / 2.0;
    out[0] = m * std::cos(p * u);
    out[1] = m * std::cos(q * u);
    out[2] = m * std::sin(p * u);
}

TEST(FX_TorusKnot, MeshIs360RingsOf16WithTheLastJoiningTheFirst) {
    const KnotMesh m({3, 2, 0.0f, 32.0f, 0.15f, 4.0f});
    ASSERT_EQ(11520u, m.triangles);
    EXPECT_EQ(0.0f, length(m.vertices[5760])) << "nothing past 5760 vertices";
    // The last ring joins the first: vertex 5759's quad reaches ring 0.
    EXPECT_EQ(15u, m.indices[6 * 5759 + 1]);
    EXPECT_EQ(0u, m.indices[6 * 5759 + 4]);
}

TEST(FX_TorusKnot, EachRingSitsOnThePreviousCurvePoint) {
    // Without bulges the tube radius is constant, and point 0 of each ring
    // (lobe factor 1) lies exactly one radius from its centre, across the chord.
    const float p = 2, q = 3, radius = 0.15f;
    const KnotMesh m({p, q, 0.0f, 0.0f, radius, 4.0f});
    float u = 0.0f, next = kCurveStep;   // accumulated in single precision, as the mesh does
    for (uint32_t ring = 0; ring < 360; ++ring, u = next, next += kCurveStep) {
        double c[3], d[3];
        curve(p, q, u, c);
        curve(p, q, next, d);
        const Vec3 v = m.vertices[ring * 16];
        const double off[3] = {v.x - c[0], v.y - c[1], v.z - c[2]};
        const double dist = std::sqrt(off[0] * off[0] + off[1] * off[1] + off[2] * off[2]);
        ASSERT_NEAR(radius, dist, 1e-4) << "ring " << ring;
        const double chord[3] = {d[0] - c[0], d[1] - c[1], d[2] - c[2]};
        const double chordLen = std::sqrt(chord[0] * chord[0] + chord[1] * chord[1] + chord[2] * chord[2]);
        const double cosAngle = (off[0] * chord[0] + off[1] * chord[1] + off[2] * chord[2]) / (dist * chordLen);
        ASSERT_NEAR(0.0, cosAngle, 2e-3) << "ring " << ring << " is not square to its chord";
    }
}

TEST(FX_TorusKnot, WithQZeroTheKnotIsARingAtHeightOne) {
    const KnotMesh m({2, 0, 0.3f, 32.0f, 0.15f, 4.0f});
    // Bulging radius at most 0.225, lobes at most 1.5 times that.
    for (uint32_t i = 0; i < 5760; ++i) {
        const Vec3 v = m.vertices[i];
        ASSERT_LE(std::fabs(v.y - 1.0f), 0.34f) << i;
        ASSERT_NEAR(1.0f, std::sqrt(v.x * v.x + v.z * v.z), 0.34f) << i;
    }
}

// Drives only the beat logic: no GL needed.
struct BeatRun {
    DemoContext demo;
    FX_TorusKnot knot{demo};
};

TEST(FX_TorusKnot, FirstBeatComesPast500msAndSkipsTheFirstShape) {
    BeatRun run;
    for (uint32_t t = 0; t <= 500; t += 20) run.knot.beat(t);
    EXPECT_EQ(1u, run.knot.p());
    EXPECT_EQ(0u, run.knot.q());
    EXPECT_FALSE(run.knot.flashing());
    EXPECT_FALSE(run.knot.rhythm().spinning);

    run.knot.beat(501);
    EXPECT_EQ(2u, run.knot.p()) << "(1, 0) is never drawn";
    EXPECT_EQ(0u, run.knot.q());
    EXPECT_TRUE(run.knot.flashing());
    EXPECT_TRUE(run.knot.rhythm().spinning);
    const KnotShape s = run.knot.shape();
    EXPECT_FLOAT_EQ(30.0f, s.radiusWaveFrequency);
    EXPECT_FLOAT_EQ(0.145f, s.tubeRadius);
    EXPECT_FLOAT_EQ(3.95f, s.lobeFrequency);
    EXPECT_FLOAT_EQ(501.0f * 0.00006f, s.phase);
}

TEST(FX_TorusKnot, BeatsAlternatePAndQAndShrinkToTheirFloors) {
    BeatRun run;
    std::vector<std::pair<uint32_t, uint32_t>> shapes;
    for (uint32_t t = 0; t <= 8000; t += 20) {
        const uint32_t before = run.knot.p() + run.knot.q();
        run.knot.beat(t);
        if (run.knot.p() + run.knot.q() != before) shapes.emplace_back(run.knot.p(), run.knot.q());
    }
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {{2, 0}, {2, 1}, {3, 1}, {3, 2}, {4, 2}, {4, 3}};
    ASSERT_GE(shapes.size(), expected.size());
    for (size_t n = 0; n < expected.size(); ++n) EXPECT_EQ(expected[n], shapes[n]) << "beat " << n;

    for (uint32_t t = 8020; t <= 200000; t += 20) run.knot.beat(t);
    const KnotShape s = run.knot.shape();
    EXPECT_GT(run.knot.p(), 100u) << "p and q keep growing";
    EXPECT_EQ(2.0f, s.radiusWaveFrequency);
    EXPECT_LE(s.tubeRadius, 0.05f);
    EXPECT_GT(s.tubeRadius, 0.045f);
    EXPECT_LE(s.lobeFrequency, 1.0f);
    EXPECT_GT(s.lobeFrequency, 0.95f);
}

TEST(FX_TorusKnot, SpinStepsTurnXAndYWhileTheMusicTimeTurnsY) {
    BeatRun run;
    run.demo.angles = {0, 999, 0};
    run.knot.beat(600);   // beat, spin begins
    EXPECT_FLOAT_EQ(600.0f * 0.21f, run.demo.angles.angleY) << "angleY is overwritten, not advanced";
    EXPECT_EQ(0.0f, run.demo.angles.angleX);

    int steps = 0;
    float lastX = 0.0f;
    for (uint32_t t = 605; t <= 805; t += 5) {
        run.knot.beat(t);
        if (run.demo.angles.angleX != lastX) {
            ++steps;
            EXPECT_FLOAT_EQ(lastX + 6.0f, run.demo.angles.angleX) << t;
            lastX = run.demo.angles.angleX;
        }
    }
    // 5 ms frames: a step every 15 ms (615 ... 795); the spin ends at 805,
    // only 10 ms after the last step, so that frame does not step.
    EXPECT_EQ(13, steps);
    EXPECT_FLOAT_EQ(130.0f, run.knot.spinY());
    EXPECT_FALSE(run.knot.rhythm().spinning);
    EXPECT_FLOAT_EQ(805.0f * 0.21f, run.demo.angles.angleY);
}

class KnotGl : public ::testing::Test {
protected:
    hlvtest::HeadlessGl gl{96, 72};
    EffectWorld world{gl.choice()};

    void SetUp() override {
        HLV_REQUIRE_GL(gl);
        hlvtest::writePatternPicture(world.folder, "pqknot/textura.png");
        hlvtest::writeLayerSet(world.folder, 8);
    }
};

TEST_F(KnotGl, StartLeavesFogAndSetsTheRest) {
    FX_TorusKnot knot(world.demo);
    knot.init();
    glEnable(GL_FOG);
    glEnable(GL_BLEND);
    glEnable(GL_LIGHT1);
    glClearColor(1, 0, 1, 1);
    knot.start();
    EXPECT_TRUE(glIsEnabled(GL_FOG)) << "fog carries over";
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING) && glIsEnabled(GL_TEXTURE_GEN_T) && glIsEnabled(GL_CULL_FACE));
    GLint mode = 0;
    glGetTexGeniv(GL_T, GL_TEXTURE_GEN_MODE, &mode);
    EXPECT_EQ(GL_EYE_LINEAR, mode);
    EXPECT_EQ(0.0f, hlvtest::glFloats(GL_COLOR_CLEAR_VALUE, 4)[0]);
    // Eye (0, 1, 4.4) towards the origin: the origin lies at the eye distance.
    EXPECT_NEAR(-std::sqrt(1.0f + 4.4f * 4.4f), hlvtest::glFloats(GL_MODELVIEW_MATRIX, 16)[14], 1e-5);
    knot.release();
}

TEST_F(KnotGl, FlashLastsUntilTheFrameAfter50ms) {
    FX_TorusKnot knot(world.demo);
    knot.init();
    knot.start();
    const size_t all = size_t(gl.width()) * gl.height();
    hlvtest::showFrame(knot, 600, 16);   // the beat
    EXPECT_EQ(0u, hlvtest::pixelsOtherThan(gl.readPixels(), 0xFFFFFFFFu));
    hlvtest::showFrame(knot, 649, 49);
    EXPECT_EQ(0u, hlvtest::pixelsOtherThan(gl.readPixels(), 0xFFFFFFFFu));
    EXPECT_TRUE(knot.flashing());
    // 50 ms on: nothing is drawn, only the loop's clear, still white.
    hlvtest::showFrame(knot, 650, 1);
    EXPECT_FALSE(knot.flashing());
    EXPECT_EQ(0u, hlvtest::pixelsOtherThan(gl.readPixels(), 0xFFFFFFFFu));
    EXPECT_EQ(1.0f, hlvtest::glFloats(GL_COLOR_CLEAR_VALUE, 4)[1]) << "the clear colour stays white";
    EXPECT_EQ(0u, knot.triangleCount()) << "no mesh before the first drawn frame";
    // The next frame draws background and knot over it.
    hlvtest::showFrame(knot, 670, 20);
    EXPECT_GT(hlvtest::pixelsOtherThan(gl.readPixels(), 0xFFFFFFFFu), all / 2);
    EXPECT_EQ(11520u, knot.triangleCount());
    knot.release();
}

constexpr int kFrameW = 160, kFrameH = 120;

// 25 frames per second from the start; frames kept at a few times between
// beats (beats fall at 520, 1280, 2040, 2800, 3560).
std::vector<std::vector<uint8_t>> playKnot(const char* tag) {
    hlvtest::HeadlessGl gl(kFrameW, kFrameH);
    if (!gl.ok()) return {};
    EffectWorld world(gl.choice());
    hlvtest::writePatternPicture(world.folder, "pqknot/textura.png");
    hlvtest::writeLayerSet(world.folder, 8);
    FX_TorusKnot knot(world.demo);
    knot.init();
    knot.start();
    std::vector<std::vector<uint8_t>> frames;
    for (uint32_t t = 0; t <= 3400; t += 40) {
        hlvtest::showFrame(knot, t, 40);
        if (t == 1000 || t == 2000 || t == 3400) {
            frames.push_back(gl.readPixels());
            hlvtest::dumpFrame(std::string("knot-") + tag + "-" + std::to_string(t), kFrameW, kFrameH,
                               frames.back());
        }
    }
    knot.release();
    return frames;
}

TEST(FX_TorusKnotFrames, RenderTheKnotTheSameWayTwice) {
    const auto first = playKnot("a");
    if (first.empty()) GTEST_SKIP() << "no headless GL context";
    const auto second = playKnot("b");
    ASSERT_EQ(3u, first.size());
    ASSERT_EQ(first.size(), second.size());
    for (size_t n = 0; n < first.size(); ++n) {
        // Not the flash, not the bare background: the knot adds many colours.
        EXPECT_GT(hlvtest::pixelsOtherThan(first[n], 0xFFFFFFFFu), first[n].size() / 8) << n;
        EXPECT_GT(hlvtest::pixelsOtherThan(first[n], 0x101830FFu), size_t(kFrameW * kFrameH / 20)) << n;
        EXPECT_EQ(first[n], second[n]) << "frame " << n << " differs between runs";
    }
}

}  // namespace
