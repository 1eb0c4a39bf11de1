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
    // Layer n made of one colour per picture (0xRRGGBBAA), then loaded.
    LayerSet layer(int n, uint32_t background, uint32_t foreground, uint32_t mask) {
        const std::string prefix = "layers/" + std::to_string(n);
        folder.writeSolidPicture(prefix + "_fondo.png", kSide, kSide, 3, background);
        folder.writeSolidPicture(prefix + "_damunt.png", kSide, kSide, 3, foreground);
        folder.writeSolidPicture(prefix + "_mascara.png", kSide, kSide, 3, mask);
        return load(n);
    }
    LayerSet load(int n) {
        LayerSet set;
        loadLayerSet(set, n, files);
        return set;
    }
    std::string loadError() {
        try {
            load(3);
        } catch (const FatalError& error) {
            return error.what();
        }
        return "(loaded)";
    }

    void clearTo(Rgb c) {
        glClearColor(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, 1.0f);
        glClearDepth(0.0);   // with GL_LESS nothing could pass: the layers must not depth-test
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

    // Every pixel of screen rows [top, bottom) within tolerance of c.
    ::testing::AssertionResult rowsAre(int top, int bottom, Rgb c) {
        const std::vector<uint8_t> frame = gl.readPixels();
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < gl.width(); ++x) {
                const uint8_t* p = &frame[size_t(y * gl.width() + x) * 4];
                if (std::abs(p[0] - c.r) > kTolerance || std::abs(p[1] - c.g) > kTolerance ||
                    std::abs(p[2] - c.b) > kTolerance)
                    return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is "
                                                         << int(p[0]) << "," << int(p[1]) << "," << int(p[2]);
            }
        return ::testing::AssertionSuccess();
    }

    // What differs from before, a GL error included; blank when nothing does.
    std::string stateChange(const hlvtest::GlState& before) {
        return hlvtest::GlState::capture().diff(before) + (glGetError() == GL_NO_ERROR ? "" : " (GL error)");
    }

    hlvtest::HeadlessGl     gl{64, 48};
    hlvtest::TempDataFolder folder;
    DataFileService         files{folder.root()};
};

}  // namespace

TEST_F(LayerSetTest, LoadsMaskThenForegroundThenBackground) {
    HLV_REQUIRE_GL(gl);
    // The first missing picture names itself, so the order shows.
    for (const char* part : {"mascara", "damunt", "fondo"}) {
        const std::string name = std::string("layers/3_") + part + ".png";
        EXPECT_NE(loadError().find(name), std::string::npos) << name;
        folder.writeSolidPicture(name, kSide, kSide, 3, 0x808080FFu);
    }
    EXPECT_EQ(loadError(), "(loaded)");
}

// Culling the other winding, lighting, texgen, odd matrices and a closer
// depth buffer: the layers must not care about any of them, and each draw
// leaves the state as it found it.
TEST_F(LayerSetTest, OverlayMultipliesByTheMaskThenAddsTheForeground) {
    HLV_REQUIRE_GL(gl);
    const LayerSet keep = layer(1, 0x000000FFu, 0x000000FFu, 0xFFFFFFFFu);   // white mask, black foreground
    const LayerSet half = layer(2, 0x000000FFu, 0x80402000u, 0x80808080u);
    hlvtest::setUnusualGlState();
    const hlvtest::GlState before = hlvtest::GlState::capture();
    clearTo({51, 102, 153});
    drawOverlay(keep);
    EXPECT_TRUE(rowsAre(0, gl.height(), {51, 102, 153}));
    clearTo({200, 100, 60});
    drawOverlay(half);   // frame * 128/255 + (128, 64, 32)
    EXPECT_TRUE(rowsAre(0, gl.height(), {100 + 128, 50 + 64, 30 + 32}));
    EXPECT_EQ(stateChange(before), "");
    float depth = -1;
    glReadPixels(gl.width() / 2, gl.height() / 2, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
    EXPECT_EQ(depth, 0.0f) << "the layers wrote depth";
}

TEST_F(LayerSetTest, BlackMaskLeavesExactlyTheForegroundTopRowUp) {
    HLV_REQUIRE_GL(gl);
    std::vector<uint8_t> pixels;   // upper half orange, lower half teal
    for (int i = 0; i < kSide * kSide; ++i) {
        const bool upper = i < kSide * kSide / 2;
        pixels.insert(pixels.end(), {uint8_t(upper ? 250 : 0), uint8_t(upper ? 120 : 128),
                                     uint8_t(upper ? 10 : 128)});
    }
    folder.writePicture("layers/4_damunt.png", kSide, kSide, 3, pixels);
    folder.writeSolidPicture("layers/4_mascara.png", kSide, kSide, 3, 0x000000FFu);
    folder.writeSolidPicture("layers/4_fondo.png", kSide, kSide, 3, 0x000000FFu);
    const LayerSet set = load(4);

    clearTo({90, 200, 30});
    drawOverlay(set);
    const int middle = gl.height() / 2;
    EXPECT_TRUE(rowsAre(kFilterMargin, middle - kFilterMargin, {250, 120, 10}));
    EXPECT_TRUE(rowsAre(middle + kFilterMargin, gl.height() - kFilterMargin, {0, 128, 128}));
}

TEST_F(LayerSetTest, BackgroundCoversOrAddsAsTheEffectBlends) {
    HLV_REQUIRE_GL(gl);
    const LayerSet set = layer(5, 0x604020FFu, 0x000000FFu, 0xFFFFFFFFu);
    hlvtest::setUnusualGlState();   // blending on
    glBlendFunc(GL_ONE, GL_ONE);
    const hlvtest::GlState before = hlvtest::GlState::capture();
    clearTo({10, 150, 200});
    drawBackground(set);
    EXPECT_TRUE(rowsAre(0, gl.height(), {10 + 0x60, 150 + 0x40, 200 + 0x20}));
    EXPECT_EQ(stateChange(before), "");

    glDisable(GL_BLEND);
    clearTo({10, 150, 200});
    drawBackground(set);
    EXPECT_TRUE(rowsAre(0, gl.height(), {0x60, 0x40, 0x20}));
}
