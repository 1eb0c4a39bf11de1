#include "engine/LoadingScreen.h"

#include <cstdlib>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "resources/DataFile.h"
#include "resources/Image.h"

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kBarRgb[3] = {51, 64, 77};   // (0.2, 0.25, 0.3)

bool near(const uint8_t* p, const int (&rgb)[3], int tolerance) {
    for (int c = 0; c < 3; ++c)
        if (std::abs(p[c] - rgb[c]) > tolerance) return false;
    return true;
}

// Whatever an effect's init left behind, each frame sets up its own matrices and
// leaves the stacks as it found them, modelview current; the bar grows rightwards.
// Slot 1 goes over slot 0 by its alpha, top row up, and blending is left off.
TEST(LoadingScreen, BarPicturesAndTheMatricesKept) {
    hlvtest::HeadlessGl gl{kWidth, kHeight};
    HLV_REQUIRE_GL(gl);
    hlvtest::TempDataFolder folder;
    DataFileService files{folder.root()};
    auto solid = [&](const char* name, int channels, uint32_t rgba) {
        folder.writeSolidPicture(name, 8, 8, channels, rgba);
        return loadTexture(name, files);
    };
    const uint32_t back = solid("black.png", 3, 0x000000FFu), front = solid("clear.png", 4, 0xFF000000u);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(0.5f, 0.25f, -2);
    std::vector<float> before(16), after(16);
    glGetFloatv(GL_MODELVIEW_MATRIX, before.data());
    auto get = [](GLenum what) { GLint v = -1; glGetIntegerv(what, &v); return v; };
    std::vector<int> edges;   // the first bar's left, top and bottom pixel edges
    int lastRight = -1;
    for (float progress : {-0.8f, -0.2f, 0.5f}) {
        SCOPED_TRACE(progress);
        glMatrixMode(GL_PROJECTION);
        drawLoadingScreen(back, front, progress);
        EXPECT_EQ((std::vector<int>{get(GL_MATRIX_MODE), get(GL_MODELVIEW_STACK_DEPTH), get(GL_PROJECTION_STACK_DEPTH)}),
                  (std::vector<int>{GL_MODELVIEW, 1, 1}));
        glGetFloatv(GL_MODELVIEW_MATRIX, after.data());
        EXPECT_EQ(after, before);

        const std::vector<uint8_t> frame = gl.readPixels();
        int left = kWidth, right = -1, top = kHeight, bottom = -1;
        for (int i = 0, x = 0, y = 0; i < kWidth * kHeight; ++i, x = i % kWidth, y = i / kWidth)
            if (near(&frame[size_t(i) * 4], kBarRgb, 1))
                left = std::min(left, x), right = std::max(right, x + 1), top = std::min(top, y), bottom = std::max(bottom, y + 1);
        ASSERT_GT(right, left) << "no bar";
        if (edges.empty()) edges = {left, top, bottom};
        EXPECT_EQ((std::vector<int>{left, top, bottom}), edges);
        EXPECT_GT(right, lastRight + 50);
        lastRight = right;
    }

    std::vector<uint8_t> halves;   // upper half red, lower half blue
    for (int i = 0; i < 64; ++i)
        halves.insert(halves.end(), {uint8_t(i < 32 ? 200 : 40), 40, uint8_t(i < 32 ? 40 : 200)});
    folder.writePicture("halves.png", 8, 8, 3, halves);
    const uint32_t veil = solid("veil.png", 4, 0xFFFFFF80u);   // white at half alpha
    glEnable(GL_BLEND);   // left over from some earlier drawing
    glBlendFunc(GL_ONE, GL_ONE);

    drawLoadingScreen(loadTexture("halves.png", files), veil, 0.0f);

    auto veiled = [](int c) { return int(c * 127 / 255.0 + 128 + 0.5); };   // c * (1 - a) + 255 * a
    const std::vector<uint8_t> frame = gl.readPixels();
    auto at = [&](int x, int y) { return &frame[size_t(y * kWidth + x) * 4]; };
    EXPECT_TRUE(near(at(kWidth / 2, kHeight / 4), {veiled(200), veiled(40), veiled(40)}, 2)) << "red on top";
    EXPECT_TRUE(near(at(kWidth / 2, kHeight * 3 / 4 - 40), {veiled(40), veiled(40), veiled(200)}, 2));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

// Kept and redrawn in the bar's band only, the frames are the ones drawn
// whole, pixel for pixel and in the state they leave, over a back buffer
// holding anything; also after an init changes how the pictures come out
// (fog here), which makes the kept frame stale.
TEST(LoadingScreen, KeptFrameGivesTheWholeFrames) {
    hlvtest::HeadlessGl gl{kWidth, kHeight};
    HLV_REQUIRE_GL(gl);
    hlvtest::TempDataFolder folder;
    DataFileService files{folder.root()};
    std::vector<uint8_t> back(32 * 32 * 3), front(16 * 16 * 4);
    for (size_t i = 0; i < back.size(); ++i) back[i] = uint8_t(i * 13 / 7);
    for (size_t i = 0; i < front.size(); ++i) front[i] = uint8_t(i % 4 == 3 ? i / 4 : 255 - i / 3);
    folder.writePicture("back.png", 32, 32, 3, back);
    folder.writePicture("front.png", 16, 16, 4, front);
    const uint32_t slot0 = loadTexture("back.png", files), slot1 = loadTexture("front.png", files);
    auto state = [] {
        const GLenum kept[] = {GL_TEXTURE_BINDING_2D, GL_MATRIX_MODE, GL_BLEND, GL_BLEND_SRC, GL_BLEND_DST,
                               GL_SCISSOR_TEST, GL_SCISSOR_BOX, GL_DRAW_FRAMEBUFFER_BINDING, GL_READ_FRAMEBUFFER_BINDING,
                               GL_RENDERBUFFER_BINDING, GL_CURRENT_COLOR, GL_TEXTURE_2D};
        std::vector<float> s(std::size(kept) * 4, -1);   // up to four values each
        for (size_t i = 0; i < std::size(kept); ++i) glGetFloatv(kept[i], &s[i * 4]);
        return s;
    };
    auto scribble = [](float grey) { glClearColor(grey, 1 - grey, grey / 2, 1), glClear(GL_COLOR_BUFFER_BIT); };
    LoadingScreen screen;
    for (int step = 0; step < 6; ++step) {
        SCOPED_TRACE(step);
        const float progress = -0.8f + 0.3f * float(step);
        const float fogColour[4] = {0.9f, 0.1f, 0.1f, 1};
        if (step == 3) glEnable(GL_FOG), glFogf(GL_FOG_DENSITY, 0.5f), glFogfv(GL_FOG_COLOR, fogColour);
        scribble(0.1f * float(step));
        drawLoadingScreen(slot0, slot1, progress);
        const std::vector<uint8_t> whole = gl.readPixels();
        const std::vector<float> wholeState = state();
        scribble(0.9f - 0.1f * float(step));
        screen.draw(slot0, slot1, progress);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        EXPECT_TRUE(gl.readPixels() == whole);
        EXPECT_EQ(state(), wholeState);
    }
    screen.release();
}

}  // namespace
