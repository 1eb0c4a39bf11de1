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

TEST(FX_Column, TubeIs61RingsOf80InOneStripOfWholeRings) {
    // Only whole rings that fit are built, the strip pairing each with the next.
    for (const auto& [capacity, count] : {std::pair{FX_Column::kCapacity, 9600u}, {1000u, 2u * (960 - 80)}, {79u, 0u}}) {
        SCOPED_TRACE("capacity " + std::to_string(capacity));
        const Tube m(0, capacity);
        EXPECT_EQ(count, m.count);
        EXPECT_EQ(0xDEADu, m.indices[count]);
        EXPECT_EQ(0.0f, length(m.vertices[count ? count / 2 + 80 : 0])) << "nothing past the last ring";
    }
    const Tube m(0, FX_Column::kCapacity);
    EXPECT_EQ(-3.0f, m.vertices[0].y);
    EXPECT_EQ(0.0f, m.vertices[0].z);
    EXPECT_NEAR(2.9999988f, m.vertices[4800].y, 1e-7f) << "the last ring, accumulated in single precision";
    // Evenly round without the full turn: point 79 is one step short of point 0.
    EXPECT_NEAR(m.vertices[0].x * std::cos(79 * 3.14159265 / 40), m.vertices[79].x, 1e-5);

    // Strip pairs: next ring's next point, this ring's next point.
    const std::pair<uint32_t, uint32_t> strip[] = {{0, 81}, {1, 1}, {158, 80}, {159, 0}, {9598, 4800}, {9599, 4720}};
    for (const auto& [at, index] : strip) EXPECT_EQ(index, m.indices[at]) << "entry " << at;
    for (uint32_t i = 0; i < 4880; ++i) ASSERT_LE(length(m.normals[i]), 6.0f * 2.0f / 11.0f + 1e-5f) << i;
    EXPECT_GT(length(m.normals[4879]), 0.0f) << "the top ring is lit from below";

    // No ripple at the start; later the radius varies round a ring.
    auto ripple = [](const Tube& t) {
        return std::fabs(std::hypot(t.vertices[10].x, t.vertices[10].z) - std::hypot(t.vertices[30].x, t.vertices[30].z));
    };
    EXPECT_LT(ripple(m), 1e-5f);
    EXPECT_GT(ripple(Tube(2500, FX_Column::kCapacity)), 0.01f);
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
    glDisable(GL_TEXTURE_2D);
    glActiveTexture(GL_TEXTURE1);
    for (GLenum cap : {GL_FOG, GL_BLEND, GL_LIGHT1}) glEnable(cap);
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
    EXPECT_FALSE(frames[0] == frames[1] || frames[1] == frames[2]) << "the column stood still";
}

}  // namespace
