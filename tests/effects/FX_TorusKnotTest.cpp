#include "effects/FX_TorusKnot.h"

#include "EffectTestData.h"

using namespace hlvtest;

struct KnotMesh {
    std::vector<Vec3> vertices = std::vector<Vec3>(FX_TorusKnot::kCapacity, Vec3{0, 0, 0}), normals = vertices;
    std::vector<uint32_t> indices = std::vector<uint32_t>(FX_TorusKnot::kCapacity * 6);
    uint32_t triangles;
    explicit KnotMesh(const KnotShape& s) : triangles(FX_TorusKnot::buildKnot(s, vertices.data(), normals.data(), indices.data())) {}
};

// The knot curve in double precision, straight from its definition.
static Vec3 curve(double p, double q, double u) {
    const double m = (std::sin(q * u) + 2.0) / 2.0;
    return {float(m * std::cos(p * u)), float(m * std::cos(q * u)), float(m * std::sin(p * u))};
}

static void writeKnotData(const TempDataFolder& folder) { writeLayerSet(folder, 8, "pqknot/textura.png"); }

TEST(FX_TorusKnot, TubeRingsSitOnTheKnotCurve) {
    // Without bulges the tube radius is constant, and point 0 of each of the
    // 360 rings of 16 (lobe factor 1) lies one radius from its centre, square to the chord.
    const float p = 2, q = 3, radius = 0.15f;
    const KnotMesh m({p, q, 0.0f, 0.0f, radius, 4.0f});
    float u = 0.0f;
    const float step = 0.017453289f;   // accumulated in single precision, as the mesh does
    for (uint32_t ring = 0; ring < 360; ++ring, u += step) {
        const Vec3 c = curve(p, q, u), off = m.vertices[ring * 16] - c, chord = curve(p, q, u + step) - c;
        ASSERT_NEAR(radius, length(off), 1e-4) << "ring " << ring;
        ASSERT_NEAR(0.0, dot(off, chord) / (length(off) * length(chord)), 2e-3) << "ring " << ring;
    }
}

TEST(FX_TorusKnot, BeatsPast500msAlternatePAndQAndShrinkTheTube) {
    DemoContext demo;
    FX_TorusKnot knot(demo);
    knot.beat(500);
    EXPECT_FALSE(knot.flashing()) << "500 ms is not past 500";
    knot.beat(501);
    EXPECT_TRUE(knot.flashing() && knot.shape().p == 2.0f && knot.shape().q == 0.0f) << "(1, 0) is never drawn";

    std::vector<std::pair<uint32_t, uint32_t>> shapes = {{2, 0}};
    for (uint32_t t = 520; t <= 4500; t += 20) {
        knot.beat(t);
        if (knot.p() + knot.q() != shapes.back().first + shapes.back().second) shapes.emplace_back(knot.p(), knot.q());
    }
    EXPECT_EQ((std::vector<std::pair<uint32_t, uint32_t>>{{2, 0}, {2, 1}, {3, 1}, {3, 2}, {4, 2}, {4, 3}}), shapes);
    for (uint32_t t = 4520; t <= 200000; t += 20) knot.beat(t);
    // p and q keep growing; the tube thins and the lobes flatten to their limits, never past.
    const KnotShape last = knot.shape();
    EXPECT_TRUE(knot.p() > 100u && last.tubeRadius > 0.045f && last.tubeRadius <= 0.05f) << last.tubeRadius;
    EXPECT_TRUE(last.lobeFrequency > 0.95f && last.lobeFrequency <= 1.0f) << last.lobeFrequency;
}

using KnotGl = EffectGl<writeKnotData>;
TEST_F(KnotGl, TheBeatFlashesAndTheKnotShowsBetweenBeats) {
    FX_TorusKnot knot(world.demo);
    knot.init();
    knot.start();
    // The beat, 49 ms on, and 50 ms on: nothing drawn over the white clear.
    for (const auto& [t, dt] : {std::pair{600u, 16u}, {649u, 49u}, {650u, 1u}}) {
        showFrame(knot, t, dt);
        EXPECT_EQ(0u, pixelsOtherThan(gl.readPixels(), 0xFFFFFFFFu)) << t;
    }
    knot.release();

    // 25 frames per second; beats fall at 520, 1280, 2040, 2800 and 3560.
    std::vector<uint32_t> times;
    for (uint32_t t = 0; t <= 3400; t += 40) times.push_back(t);
    const auto frames = playTwice<FX_TorusKnot>(writeKnotData, times);
    // Between beats: not the flash, not the bare background.
    const std::vector<Frame> between = {frames[1000 / 40], frames[2000 / 40], frames[3400 / 40]};
    expectScene(between, 1.0 / 20);
    expectScene(between, 1.0 / 2, 2, 0xFFFFFFFFu);
}
