#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include <epoxy/gl.h>

#include "EffectTestData.h"
#include "effects/FX_Column.h"

namespace {

using namespace hlvtest;

struct Tube {
    std::vector<Vec3> vertices = std::vector<Vec3>(FX_Column::kCapacity, Vec3{0, 0, 0});
    std::vector<Vec3> normals = std::vector<Vec3>(FX_Column::kCapacity, Vec3{0, 0, 0});
    std::vector<uint32_t> indices = std::vector<uint32_t>(FX_Column::kCapacity * 6, 0xDEADu);
    uint32_t count;
    Tube(uint32_t t, uint32_t capacity)
        : count(FX_Column::buildTube(FX_Column::shapeAt(t), capacity, vertices.data(), normals.data(), indices.data())) {}
};

TEST(FX_Column, ShapeFollowsTheMusicClock) {
    const ColumnShape zero = FX_Column::shapeAt(0);
    EXPECT_EQ(0.0f, zero.bumpFrequency);
    EXPECT_EQ(2.0f, zero.twistFrequency);
    EXPECT_EQ(3.5f, zero.waveFrequency);
    EXPECT_FLOAT_EQ(0.4f, zero.waveAmplitude);
    const double b = 2.5 * 0.8;   // 2.5 s of music
    const ColumnShape later = FX_Column::shapeAt(2500);
    EXPECT_NEAR(2 * std::sin(b), later.bumpFrequency, 1e-6);
    EXPECT_NEAR(1.1 * std::sin(b) + 2, later.twistFrequency, 1e-6);
    EXPECT_NEAR(1.5 * std::cos(b / 2) + 2, later.waveFrequency, 1e-6);
    EXPECT_NEAR(0.1 * std::cos(b / 2) + 0.3, later.waveAmplitude, 1e-6);
}

TEST(FX_Column, TubeIs61RingsOf80InOneStrip) {
    const Tube m(0, FX_Column::kCapacity);
    ASSERT_EQ(9600u, m.count);
    EXPECT_EQ(0xDEADu, m.indices[9600]);
    EXPECT_EQ(0.0f, length(m.vertices[4880])) << "nothing past 61 rings";

    // No ripple at t = 0 (r = 2); ring 0 at y = -3 bulges by sin(-24).
    const double bulge = std::sin(-24.0) * 0.1 + 0.55;
    EXPECT_NEAR(2 * bulge, m.vertices[0].x, 1e-6);
    EXPECT_EQ(-3.0f, m.vertices[0].y);
    EXPECT_EQ(0.0f, m.vertices[0].z);
    // Point 79 stops short of a full turn, its wave 3.5 a high.
    const double a = 6.204647;
    EXPECT_NEAR(2 * bulge * std::cos(a), m.vertices[79].x, 1e-5);
    EXPECT_NEAR(0.4 * std::sin(3.5 * a) - 3, m.vertices[79].y, 1e-5);
    EXPECT_NEAR(2.9999988f, m.vertices[4800].y, 1e-7f) << "the last ring, accumulated in single precision";

    // Strip pairs: next ring's next point, this ring's next point.
    const std::pair<uint32_t, uint32_t> strip[] = {{0, 81}, {1, 1}, {158, 80}, {159, 0}, {9598, 4800}, {9599, 4720}};
    for (const auto& [at, index] : strip) EXPECT_EQ(index, m.indices[at]) << "entry " << at;
    for (uint32_t i = 0; i < 4880; ++i) ASSERT_LE(length(m.normals[i]), 6.0f * 2.0f / 11.0f + 1e-5f) << i;
    EXPECT_GT(length(m.normals[4879]), 0.0f) << "the top ring is lit from below";

    // A rippled tube: the radius now varies round a ring.
    const Tube rippled(2500, FX_Column::kCapacity);
    EXPECT_GT(std::fabs(std::hypot(rippled.vertices[10].x, rippled.vertices[10].z) -
                        std::hypot(rippled.vertices[30].x, rippled.vertices[30].z)), 0.01f);
}

TEST(FX_Column, ASmallerCapacityGetsWholeRingsOnly) {
    const Tube twelve(0, 1000);
    EXPECT_EQ(2u * (960 - 80), twelve.count);
    EXPECT_EQ(0.0f, length(twelve.vertices[960]));
    EXPECT_EQ(0xDEADu, twelve.indices[twelve.count]);
    const Tube none(0, 79);
    EXPECT_EQ(0u, none.count);
    EXPECT_EQ(0.0f, length(none.vertices[0]));
}

void writeColumnData(const TempDataFolder& folder) {
    writePatternPicture(folder, "column/textura.png");
    writeLayerSet(folder, 4);
}
using ColumnGl = EffectGl<writeColumnData>;

TEST_F(ColumnGl, StartWorksOnTheActiveUnitAndSwitchesFogOff) {
    FX_Column column(world.demo);
    column.init();
    // What an earlier effect left: unit 0 bare, unit 1 active, fog, blending,
    // light 1, a shifted view.
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_TEXTURE_2D);
    glActiveTexture(GL_TEXTURE1);
    glEnable(GL_FOG);
    glEnable(GL_BLEND);
    glEnable(GL_LIGHT1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -10);
    column.start();

    EXPECT_EQ(GL_TEXTURE1, glInt(GL_ACTIVE_TEXTURE));
    EXPECT_EQ(GLint(column.texture()), glInt(GL_TEXTURE_BINDING_2D));
    EXPECT_EQ(GL_SPHERE_MAP, texGenMode(GL_S));
    EXPECT_EQ("", wrongCaps({GL_TEXTURE_2D, GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_LIGHTING, GL_LIGHT0, GL_CULL_FACE,
                             GL_DEPTH_TEST, GL_COLOR_MATERIAL, GL_VERTEX_ARRAY, GL_NORMAL_ARRAY},
                            {GL_FOG, GL_BLEND, GL_LIGHT1}));
    EXPECT_EQ(GL_CW, glInt(GL_FRONT_FACE));
    EXPECT_FLOAT_EQ(-15.0f, lightFloats(GL_LIGHT0, GL_POSITION)[2]) << "placed through the old view";
    EXPECT_FLOAT_EQ(2.0f, lightFloats(GL_LIGHT0, GL_DIFFUSE)[0]);
    EXPECT_LT(perspectiveError(45, world.demo.aspect(), 0.1f, 100), 1e-5f);
    EXPECT_FLOAT_EQ(-6.8f, glFloats(GL_MODELVIEW_MATRIX, 16)[14]);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ("", wrongCaps({}, {GL_TEXTURE_GEN_S, GL_TEXTURE_2D})) << "unit 0 is not touched";
    glActiveTexture(GL_TEXTURE1);

    const std::vector<float> view = glFloats(GL_MODELVIEW_MATRIX, 16);
    showFrame(column, 104000, 16);
    EXPECT_EQ(9600u, column.indexCount());
    EXPECT_EQ(view, glFloats(GL_MODELVIEW_MATRIX, 16));
    column.release();
}

TEST(FX_ColumnFrames, RenderTheRipplingColumnTheSameWayTwice) {
    const auto frames = playTwice<FX_Column>(writeColumnData, {102857, 104500, 106000}, "column");
    if (frames.empty()) GTEST_SKIP() << "no headless GL context";
    // Neither the background nor the foreground strip along the top.
    auto column = [](const Frame& f) { return pixelsOtherThan(f, 0x101830FFu) + pixelsOtherThan(f, 0xC80000FFu) - f.size() / 4; };
    for (size_t n = 0; n < frames.size(); ++n) EXPECT_GT(column(frames[n]), frames[n].size() / 40) << "frame " << n << " shows no column";
    EXPECT_FALSE(frames[0] == frames[1]);
    EXPECT_FALSE(frames[1] == frames[2]);
}

}  // namespace
