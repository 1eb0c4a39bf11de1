#include "engine/LoadingScreen.h"

#include <cstdlib>
#include <string>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "resources/DataFile.h"
#include "resources/Image.h"

using hlvtest::HeadlessGl;
using hlvtest::TempDataFolder;

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kBarRgb[3] = {51, 64, 77};   // (0.2, 0.25, 0.3)

// What the engine hands over after n initialised effects.
float progressAfter(int n) { return float(-0.806 + 0.0822 * n); }

// Normalised screen coordinates to pixel edges, y counted from the top.
double pixelX(double x) { return (x + 1) / 2 * kWidth; }
double pixelY(double y) { return (1 - y) / 2 * kHeight; }

bool near(const uint8_t* p, const int (&rgb)[3], int tolerance) {
    for (int c = 0; c < 3; ++c)
        if (std::abs(p[c] - rgb[c]) > tolerance) return false;
    return true;
}

// The bar's extent in pixel edges: [left, right) x [top, bottom).
struct Extent { int left = -1, right = -1, top = -1, bottom = -1; };

Extent findBar(const std::vector<uint8_t>& frame) {
    Extent e;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            if (!near(&frame[size_t(y * kWidth + x) * 4], kBarRgb, 1)) continue;
            if (e.left < 0 || x < e.left) e.left = x;
            if (x + 1 > e.right) e.right = x + 1;
            if (e.top < 0) e.top = y;
            e.bottom = y + 1;
        }
    return e;
}

class LoadingScreenTest : public ::testing::Test {
protected:
    uint32_t texture(const char* name) { return loadTexture(name, files); }

    HeadlessGl      gl{kWidth, kHeight};
    TempDataFolder  folder;
    DataFileService files{folder.root()};
};

}  // namespace

TEST_F(LoadingScreenTest, BarGrowsFromItsLeftEdgeWithEveryEffect) {
    HLV_REQUIRE_GL(gl);
    folder.writeSolidPicture("black.png", 8, 8, 3, 0x000000FFu);
    folder.writeSolidPicture("clear.png", 8, 8, 4, 0xFF000000u);   // red, fully transparent
    const uint32_t back = texture("black.png"), front = texture("clear.png");

    for (int n : {0, 1, 8, 16}) {
        SCOPED_TRACE("effects initialised: " + std::to_string(n));
        drawLoadingScreen(back, front, progressAfter(n));
        const Extent bar = findBar(gl.readPixels());
        const double right = 0.045 + 0.3 * (-0.806 + 0.0822 * n - 0.02);
        EXPECT_NEAR(bar.left, pixelX(-0.219), 1.0);
        EXPECT_NEAR(bar.right, pixelX(right), 1.0);
        EXPECT_NEAR(bar.top, pixelY(-0.415), 1.0);
        EXPECT_NEAR(bar.bottom, pixelY(-0.439), 1.0);
    }
}

TEST_F(LoadingScreenTest, SlotOneIsCompositedByItsAlpha) {
    HLV_REQUIRE_GL(gl);
    // Slot 0: upper half red, lower half blue; slot 1: white at half alpha.
    std::vector<uint8_t> halves;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            halves.insert(halves.end(), {uint8_t(y < 4 ? 200 : 40), 40, uint8_t(y < 4 ? 40 : 200)});
    folder.writePicture("halves.png", 8, 8, 3, halves);
    folder.writeSolidPicture("veil.png", 8, 8, 4, 0xFFFFFF80u);
    glEnable(GL_BLEND);   // left over from some earlier drawing
    glBlendFunc(GL_ONE, GL_ONE);

    drawLoadingScreen(texture("halves.png"), texture("veil.png"), progressAfter(8));

    // c * (1 - 128/255) + 255 * 128/255
    auto veiled = [](int c) { return int(c * 127 / 255.0 + 128 + 0.5); };
    const int red[3] = {veiled(200), veiled(40), veiled(40)};
    const int blue[3] = {veiled(40), veiled(40), veiled(200)};
    const int bar[3] = {veiled(kBarRgb[0]), veiled(kBarRgb[1]), veiled(kBarRgb[2])};
    const std::vector<uint8_t> frame = gl.readPixels();
    auto at = [&](int x, int y) { return &frame[size_t(y * kWidth + x) * 4]; };
    EXPECT_TRUE(near(at(kWidth / 2, kHeight / 4), red, 2));
    EXPECT_TRUE(near(at(kWidth / 2, kHeight * 3 / 4 - 40), blue, 2));
    EXPECT_TRUE(near(at(int(pixelX(-0.1)), int(pixelY(-0.427))), bar, 2));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(LoadingScreenTest, NothingIsDrawnBeforeSlotZeroHasATexture) {
    HLV_REQUIRE_GL(gl);
    folder.writeSolidPicture("veil.png", 8, 8, 4, 0xFFFFFFFFu);
    const uint32_t front = texture("veil.png");
    glClearColor(0.2f, 0.4f, 0.6f, 1);
    glClear(GL_COLOR_BUFFER_BIT);

    drawLoadingScreen(0, front, progressAfter(3));

    const std::vector<uint8_t> frame = gl.readPixels();
    const int cleared[3] = {51, 102, 153};
    size_t changed = 0;
    for (size_t i = 0; i < frame.size(); i += 4) changed += !near(&frame[i], cleared, 1);
    EXPECT_EQ(changed, 0u);
}

TEST_F(LoadingScreenTest, RepeatedFramesKeepTheMatrixStacksBalanced) {
    HLV_REQUIRE_GL(gl);
    folder.writeSolidPicture("black.png", 8, 8, 3, 0x000000FFu);
    const uint32_t back = texture("black.png");
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.5f, 0.25f, -2);
    float modelviewBefore[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelviewBefore);
    // An effect's init may leave the projection current; the loading screen
    // draws between inits for as many frames as loading takes.
    glMatrixMode(GL_PROJECTION);
    while (glGetError() != GL_NO_ERROR) {}

    for (int frame = 0; frame < 40; ++frame) drawLoadingScreen(back, back, progressAfter(frame % 17));

    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    GLint mode = 0, modelviewDepth = 0, projectionDepth = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelviewDepth);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(modelviewDepth, 1);
    EXPECT_EQ(projectionDepth, 1);
    float modelviewAfter[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelviewAfter);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(modelviewAfter[i], modelviewBefore[i]) << i;
}
