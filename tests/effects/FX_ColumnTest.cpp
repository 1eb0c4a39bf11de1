#include "effects/FX_Column.h"

#include "EffectTestData.h"

using namespace hlvtest;

namespace {

struct Tube {
    std::vector<Vec3> vertices = std::vector<Vec3>(FX_Column::kCapacity, Vec3{0, 0, 0}), normals = vertices;
    std::vector<uint32_t> indices = std::vector<uint32_t>(FX_Column::kCapacity * 6);
    uint32_t count;
    Tube(uint32_t t, uint32_t capacity)
        : count(FX_Column::buildTube(FX_Column::shapeAt(t), capacity, vertices.data(), normals.data(), indices.data())) {}
    float ripple() const {   // radius difference between two points of the first ring
        return std::fabs(std::hypot(vertices[10].x, vertices[10].z) - std::hypot(vertices[30].x, vertices[30].z));
    }
};

void writeColumnData(const TempDataFolder& folder) { writeLayerSet(folder, 4, "column/textura.png"); }
using ColumnGl = EffectGl<writeColumnData>;

}  // namespace

TEST(FX_Column, TubeIs61RingsOf80InOneStripOfWholeRings) {
    // Only whole rings that fit are built, the strip pairing each with the next.
    for (const auto& [capacity, count] : {std::pair{FX_Column::kCapacity, 9600u}, {1000u, 2u * (960 - 80)}, {79u, 0u}}) {
        const Tube m(0, capacity);
        EXPECT_EQ(count, m.count) << "capacity " << capacity;
        EXPECT_EQ(0.0f, length(m.vertices[count ? count / 2 + 80 : 0])) << "nothing past the last ring, capacity " << capacity;
    }
    const Tube m(0, FX_Column::kCapacity);
    float lastY = -3.0f;   // the rings' heights are summed step by step in single precision
    for (int ring = 1; ring < 61; ++ring) lastY += 0.1f;
    EXPECT_EQ(lastY, m.vertices[4800].y) << "the last ring";
    // No ripple at the start; later the radius varies round a ring.
    EXPECT_LT(m.ripple(), 1e-5f);
    EXPECT_GT(Tube(2500, FX_Column::kCapacity).ripple(), 0.01f);
}

// An upright column through the middle of the picture, top to bottom: at
// most (2 + 0.75) * 0.65 units from its axis, seen from 6.8 units through 45
// degrees, it stays within 52 of the 80 pixels either side of the middle,
// and its thinnest part covers the middle.
TEST_F(ColumnGl, StartWorksOnTheActiveUnitAndTheColumnStandsInTheMiddle) {
    FX_Column column(world.demo);
    column.init();
    // What an earlier effect left: unit 0 bare, unit 1 active, a shifted view.
    glDisable(GL_TEXTURE_2D);
    glActiveTexture(GL_TEXTURE1);
    glTranslatef(0, 0, -10);
    column.start();
    EXPECT_EQ(GL_TEXTURE1, glInt(GL_ACTIVE_TEXTURE));
    EXPECT_FLOAT_EQ(-15.0f, lightFloats(GL_LIGHT0, GL_POSITION)[2]) << "placed through the old view";
    showFrame(column, 104000, 16);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_GEN_S) || glIsEnabled(GL_TEXTURE_2D)) << "unit 0 is not touched";
    column.release();

    const auto frames = playTwice<FX_Column>(writeColumnData, {102857, 104500, 106000});
    for (size_t n = 0; n < frames.size(); ++n) {
        auto background = [&](int x, int y) {
            const uint8_t* p = &frames[n][(size_t(y) * 160 + x) * 4];
            return p[0] == 0x10 && p[1] == 0x18 && p[2] == 0x30;
        };
        int sides = 0, middle = 0;
        for (int y = 24; y < 112; ++y) {   // clear of the small layer pictures' blurred edges
            for (int x = 0; x < 160; ++x) sides += (x < 24 || x >= 136) && !background(x, y);
            for (int x = 78; x < 82; ++x) middle += !background(x, y);
        }
        EXPECT_EQ(0, sides) << "frame " << n << ": column pixels beside it";
        EXPECT_EQ(88 * 4, middle) << "frame " << n << ": background through the middle";
    }
}
