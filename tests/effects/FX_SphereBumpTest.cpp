#include "effects/FX_SphereBump.h"

#include "EffectTestData.h"

using namespace hlvtest;

static void writeSphereData(const TempDataFolder& folder) {
    folder.writeSolidPicture("sphereb/textura.png", 8, 8, 3, 0xC08040FFu);
    folder.writeSolidPicture("sphereb/FLARE.png", 8, 8, 3, 0xC0C0C0FFu);
    writeLayerSet(folder, 6);
}

// The bottom ring collapses onto the pole at y = -2, the top one closes in on
// the top pole, and each ring's last point sits on its first (a fractional
// bump frequency would leave a seam).
TEST(FX_SphereBump, MeshRunsFromPoleToPoleWithNoSeam) {
    std::vector<Vec3> v(FX_SphereBump::kCapacity, Vec3{0, 0, 0}), normals(v);
    std::vector<uint32_t> indices(FX_SphereBump::kCapacity * 6, 0);
    ASSERT_GT(FX_SphereBump::buildMesh({-2.05f, -4.8f, 4.3f, 1.0f, 0.0f}, v.data(), normals.data(), indices.data()), 0u);
    for (uint32_t j = 0; j < 31; ++j) EXPECT_LT(maxDiff({v[j].x, v[j].y, v[j].z}, {0, -2, 0}), 1e-5f) << j;
    EXPECT_NEAR(2.0f, v[26 * 31].y, 0.01f);
    for (uint32_t r = 1; r < 27; ++r)
        EXPECT_TRUE(v[r * 31].z == 0.0f && std::fabs(v[r * 31 + 30].z) < 5e-5f && v[r * 31].y == v[r * 31 + 30].y) << "ring " << r;
}

// The sphere, its flares and its turn fade from full to nothing over the 14
// seconds from 149.3 s, the music's last.
TEST(FX_SphereBump, FadesFromOneToZeroOver14Seconds) {
    EXPECT_NEAR(1.0f, FX_SphereBump::fade(149300), 1e-5f);
    EXPECT_NEAR(0.0f, FX_SphereBump::fade(163300), 1e-5f);
    EXPECT_TRUE(FX_SphereBump::tint(0.0f).x > 0.0f && FX_SphereBump::tint(0.0f).z > 0.0f) << "never quite black";
}

using SphereGl = EffectGl<writeSphereData>;
TEST_F(SphereGl, AFramePutsTexGenBackAndTheSphereFades) {
    FX_SphereBump sphere(world.demo);
    sphere.init();
    sphere.start();
    showFrame(sphere, 150000, 40);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_GEN_S) && glIsEnabled(GL_TEXTURE_GEN_T)) << "the flares turn it off on the way";
    sphere.release();

    const auto frames = playTwice<FX_SphereBump>(writeSphereData, {149300, 151000, 156300, 162000});
    expectScene(frames, 1.0 / 10);
    // The flares and the sphere fade: the full frame outshines the faded one.
    auto sum = [](const Frame& f) { uint64_t s = 0; for (size_t i = 0; i < f.size(); ++i) s += i % 4 == 3 ? 0 : f[i]; return s; };
    EXPECT_GT(sum(frames[0]), sum(frames[3]));
}
