#include "effects/FX_Present.h"

#include "EffectTestData.h"
#include "TextFrames.h"

using namespace hlvtest;

static void noData(const TempDataFolder&) {}
using PresentGl = EffectGl<noData>;

// First seen at 11 s, past three 3500 ms marks: one line per frame, each
// change a black frame, until the marks catch up.
TEST(FX_Present, EnteredLateMovesOnOneLineAFrame) {
    DemoContext demo;
    FX_Present late(demo);
    for (int frame = 0; frame < 3; ++frame) EXPECT_EQ(0.0f, late.advance(11000)) << frame;
    EXPECT_GT(late.advance(11016), 0.0f);
    EXPECT_EQ(4u, late.line());
}

TEST_F(PresentGl, ShowsEachLineInItsPlaceWithShrinkingEchoesWhateverWasSet) {
    FX_Present card(world.demo);
    card.init();
    for (GLenum cap : {GL_CULL_FACE, GL_LIGHTING, GL_DEPTH_TEST}) glEnable(cap);
    glActiveTextureARB(GL_TEXTURE1);
    glEnable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glTranslatef(1, 2, 3);
    card.start();
    showFrame(card, 2000, 16);
    EXPECT_FALSE(brighterThan(gl.readPixels(), gl.width(), gl.height(), 40).empty());

    constexpr int kW = 160, kH = 120;
    const auto frames = playTwice<FX_Present>(noData, {100, 1100, 2000, 3501, 4600, 5600});
    // The quad at rest: 1.3 x 0.6 device units centred on (0.02, lineY).
    auto quad = [&](float lineY, PixelBox box) {
        return box.inside(screenX(-0.63, kW) - 1, screenY(lineY + 0.3, kH) - 1, screenX(0.67, kW) + 1,
                          screenY(lineY - 0.3, kH) + 1);
    };
    const PixelBox title = brighterThan(frames[2], kW, kH, 40);
    ASSERT_FALSE(title.empty());
    EXPECT_TRUE(quad(0.6f, title)) << title.left << " " << title.top << " " << title.right << " " << title.bottom;
    EXPECT_EQ(0u, pixelsOtherThan(frames[3], 0x000000FFu)) << "the frame of the change is black";

    // Right after a change the faint echoes reach far beyond the quad.
    const PixelBox echoes = brighterThan(frames[0], kW, kH, 4);
    EXPECT_FALSE(quad(0.6f, echoes));
    EXPECT_GT(echoes.bottom, title.bottom + 4);

    // The second line, 0.56 lower, indented by its leading blanks.
    const PixelBox makers = brighterThan(frames[5], kW, kH, 40);
    ASSERT_FALSE(makers.empty());
    EXPECT_TRUE(quad(0.04f, makers)) << makers.left << " " << makers.top << " " << makers.right << " " << makers.bottom;
    EXPECT_GT(makers.left, title.left + 4);
}
