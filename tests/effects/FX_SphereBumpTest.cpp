#include "effects/FX_SphereBump.h"

#include "EffectTestData.h"

using namespace hlvtest;

static void writeSphereData(const TempDataFolder& folder) {
    writePatternPicture(folder, "sphereb/textura.png");
    folder.writeSolidPicture("sphereb/FLARE.png", 8, 8, 3, 0xC0C0C0FFu);
    writeLayerSet(folder, 6);
}

TEST(FX_SphereBump, MeshIs27RingsOf31FromPoleToPoleInOneStrip) {
    std::vector<Vec3> v(FX_SphereBump::kCapacity, Vec3{0, 0, 0}), normals(v);
    std::vector<uint32_t> indices(FX_SphereBump::kCapacity * 6, 0);
    // One open strip of two indices per quad: every ring but the top starts quads.
    ASSERT_EQ(1612u, FX_SphereBump::buildMesh({-2.05f, -4.8f, 4.3f, 1.0f, 0.0f}, v.data(), normals.data(), indices.data()));
    EXPECT_EQ(0.0f, length(v[837])) << "nothing past 837 vertices";

    // The bottom ring collapses onto the pole at y = -2; the top one closes in on the top pole.  Each
    // ring's last point sits at its first's angle and height (a fractional bump frequency leaves a seam).
    for (uint32_t j = 0; j < 31; ++j) EXPECT_LT(maxDiff({v[j].x, v[j].y, v[j].z}, {0, -2, 0}), 1e-5f) << j;
    EXPECT_NEAR(2.0f, v[26 * 31].y, 0.01f);
    for (uint32_t r = 1; r < 27; ++r)
        EXPECT_TRUE(v[r * 31].z == 0.0f && std::fabs(v[r * 31 + 30].z) < 5e-5f && v[r * 31].y == v[r * 31 + 30].y) << "ring " << r;
}

TEST(FX_SphereBump, SphereFlaresAndTurnFadeFromOneToZeroOver14Seconds) {
    for (auto [t, want] : {std::pair{149300u, 1.0f}, {156300u, 0.70710678f}, {163300u, 0.0f}})
        EXPECT_NEAR(want, FX_SphereBump::fade(t), 1e-5f) << t;
    // Before the fade the difference wraps: some sine value, not a clamp to 1.
    float lowest = 1.0f;
    for (uint32_t t = 0; t < 149300; t += 997) lowest = std::min(lowest, FX_SphereBump::fade(t));
    EXPECT_TRUE(lowest < 0.0f && lowest >= -1.0f) << lowest;
    EXPECT_TRUE(FX_SphereBump::tint(0.0f).x > 0.0f && FX_SphereBump::tint(0.0f).z > 0.0f) << "never quite black";
    // Flares brighten towards vertex 403 (a quarter of the strip) and fade too.
    auto flare = [](uint32_t i, float c) { return FX_SphereBump::flareBrightness(i, 1612, c); };
    EXPECT_TRUE(flare(0, 1) == 0.0f && flare(100, 1) < flare(200, 1) && flare(200, 1) < flare(403, 1) && flare(806, 1) < 0.005f);
    EXPECT_NEAR(flare(403, 1) / 2, flare(403, 0.5f), 1e-6f);

    DemoContext demo;
    demo.angles = {0, 100, 0};
    FX_SphereBump sphere(demo);
    sphere.advance(149300, 25);   // a spin starts; no step in its first frame
    EXPECT_TRUE(demo.angles.angleX == 30.0f && sphere.rhythm().spinning);
    EXPECT_FLOAT_EQ(98.0f, demo.angles.angleY) << "80 degrees per second at full fade";
    sphere.advance(149325, 25);   // spin step: 5 more per 25 ms
    EXPECT_NEAR(98.0f - 7.0f * FX_SphereBump::fade(149325), demo.angles.angleY, 1e-4f);
    const float before = demo.angles.angleY;
    sphere.advance(149340, 0);   // a step falls due, but no time passed
    EXPECT_TRUE(before == demo.angles.angleY && sphere.rhythm().lastSpinTime == 149340u);
}

using SphereGl = EffectGl<writeSphereData>;
// A second init gives the first buffers back; after release nothing is drawn from freed ones.
TEST_F(SphereGl, StartLeavesLightOneAFramePutsTexGenBackAndTheSphereFades) {
    FX_SphereBump sphere(world.demo);
    sphere.init();
    sphere.init();
    const GLfloat unusual[] = {0.1f, 0.2f, 0.3f, 1.0f};
    glLightfv(GL_LIGHT1, GL_DIFFUSE, unusual);
    glEnable(GL_LIGHT1);
    sphere.start();
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1) && lightFloats(GL_LIGHT1, GL_DIFFUSE)[1] == 0.2f) << "light 1 is not touched";
    showFrame(sphere, 150000, 40);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S) && glIsEnabled(GL_TEXTURE_GEN_T)) << "the flares turn it off on the way";
    releaseAroundAFrame(sphere, 150100);

    const auto frames = playTwice<FX_SphereBump>(writeSphereData, {149300, 151000, 156300, 162000});
    expectScene(frames, 1.0 / 10);
    // The flares and the sphere fade: the full frame outshines the faded one.
    auto sum = [](const Frame& f) { uint64_t s = 0; for (size_t i = 0; i < f.size(); ++i) s += i % 4 == 3 ? 0 : f[i]; return s; };
    EXPECT_GT(sum(frames[0]), sum(frames[3]));
}
