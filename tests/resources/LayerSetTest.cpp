#include "resources/LayerSet.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "GlState.h"
#include "TestSupport.h"
#include "resources/DataFile.h"

namespace {

constexpr int kSide = 8;           // picture side, texels
constexpr int kTolerance = 2;      // 8-bit rounding of blends
constexpr int kFilterMargin = 6;   // screen rows where linear filtering mixes texel rows

struct Rgb { int r, g, b; };

class LayerSetTest : public ::testing::Test {
protected:
    // Layer n made of one colour per picture (0xRRGGBBAA; 0 for a picture
    // the test wrote itself), then loaded.
    LayerSet layer(int n, uint32_t background, uint32_t foreground, uint32_t mask) {
        const std::pair<const char*, uint32_t> parts[] = {{"_fondo", background}, {"_damunt", foreground}, {"_mascara", mask}};
        for (auto [part, colour] : parts)
            if (colour) folder.writeSolidPicture("layers/" + std::to_string(n) + part + ".png", kSide, kSide, 3, colour);
        LayerSet set;
        loadLayerSet(set, n, files);
        return set;
    }

    void clearTo(Rgb c) {
        glClearColor(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, 1.0f);
        glClearDepth(0.0);   // with GL_LESS nothing could pass: the layers must not depth-test
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    // Every pixel of screen rows [top, bottom) within tolerance of c.
    ::testing::AssertionResult rowsAre(int top, int bottom, Rgb c) {
        const std::vector<uint8_t> frame = gl.readPixels();
        for (int i = top * gl.width(); i < bottom * gl.width(); ++i) {
            const uint8_t* p = &frame[size_t(i) * 4];
            if (std::abs(p[0] - c.r) > kTolerance || std::abs(p[1] - c.g) > kTolerance || std::abs(p[2] - c.b) > kTolerance)
                return ::testing::AssertionFailure() << "pixel " << i << " is " << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
        }
        return ::testing::AssertionSuccess();
    }

    hlvtest::HeadlessGl     gl{64, 48};
    hlvtest::TempDataFolder folder;
    DataFileService         files{folder.root()};
};

}  // namespace

// Culling the other winding, lighting, texgen, odd matrices and a closer
// depth buffer: the layers must not care about any of them, and each draw
// leaves the state as it found it.  The first foreground is orange over
// teal, and must come out that way up.
TEST_F(LayerSetTest, OverlayMultipliesAndAddsBackgroundBlendsAsLeft) {
    HLV_REQUIRE_GL(gl);
    std::vector<uint8_t> pixels;
    for (int i = 0; i < kSide * kSide; ++i)
        pixels.insert(pixels.end(), {uint8_t(i < kSide * kSide / 2 ? 100 : 0), 50, uint8_t(i < kSide * kSide / 2 ? 0 : 90)});
    folder.writePicture("layers/1_damunt.png", kSide, kSide, 3, pixels);
    const LayerSet keep = layer(1, 0x000000FFu, 0, 0xFFFFFFFFu);   // white mask
    const LayerSet half = layer(2, 0x604020FFu, 0x80402000u, 0x80808080u);
    hlvtest::setUnusualGlState();
    const hlvtest::GlState before = hlvtest::GlState::capture();
    clearTo({51, 102, 153});
    drawOverlay(keep);
    const int middle = gl.height() / 2;
    EXPECT_TRUE(rowsAre(kFilterMargin, middle - kFilterMargin, {151, 152, 153})) << "upper half";
    EXPECT_TRUE(rowsAre(middle + kFilterMargin, gl.height() - kFilterMargin, {51, 152, 243})) << "lower half";
    clearTo({200, 100, 60});
    drawOverlay(half);   // frame * 128/255 + (128, 64, 32)
    EXPECT_TRUE(rowsAre(0, gl.height(), {100 + 128, 50 + 64, 30 + 32}));
    EXPECT_EQ(hlvtest::GlState::capture().diff(before), "");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    float depth = -1;
    glReadPixels(gl.width() / 2, gl.height() / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_EQ(depth, 0.0f) << "the layers wrote depth";

    // The background blends as the caller left blending: here it adds.
    glBlendFunc(GL_ONE, GL_ONE);
    clearTo({10, 150, 200});
    drawBackground(half);
    EXPECT_TRUE(rowsAre(0, gl.height(), {10 + 0x60, 150 + 0x40, 200 + 0x20}));
}
