#include "effects/FX_Credits.h"

#include "EffectTestData.h"

using namespace hlvtest;

TEST(FX_Credits, PageMovesOnOncePerTurnWhileTheBackShows) {
    DemoContext demo;
    FX_Credits c(demo);
    // 180 itself is not past it.  Early in the show the angle is negative:
    // -10 counts as 2^32 - 10, which is 246 degrees on, past the re-arming
    // mark.  At 921 the frame rate is so low that the whole window is jumped
    // over; turns are still counted after the last page.
    const struct { float angle; uint32_t page; bool armed; } turns[] = {
        {180.9f, 0, true}, {185, 1, false}, {219, 1, false}, {-10.5f, 1, true}, {545, 2, false}, {600, 2, true},
        {921, 2, true}, {1270, 3, false}, {1330, 3, true}, {1630, 4, false}};
    for (const auto& t : turns) {
        c.turnPage(t.angle);
        EXPECT_TRUE(t.page == c.page() && t.armed == c.armed()) << t.angle << ": page " << c.page() << ", armed " << c.armed();
    }
}

// Text lines on the frame: runs of rows with a bright pixel.
static int textLines(const Frame& f, int width, int height) {
    int lines = 0;
    for (int y = 0, inLine = 0; y < height; ++y) {
        bool lit = false;
        for (int x = 0; x < width && !lit; ++x) lit = f[(size_t(y) * width + x) * 4 + 1] > 128;
        lines += lit && !inLine;
        inLine = lit;
    }
    return lines;
}

TEST(FX_CreditsGl, ThreePagesFacingTheViewerAndNothingFromBehind) {
    HeadlessGl gl{320, 240};
    HLV_REQUIRE_GL(gl);
    EffectWorld world{gl.choice()};
    FX_Credits c(world.demo);
    c.init();
    c.start();
    glDisable(GL_LIGHTING);   // left by an unlit effect before it

    // 10 frames a second; the card faces the viewer near 14.1, 22.4, 30.7
    // and 39 s and shows its back in between.
    const std::vector<std::pair<uint32_t, int>> facing = {{14100, 2}, {22400, 3}, {30700, 2}, {39000, 0}};
    for (uint32_t t = 12000, next = 0; t <= 39000; t += 100) {
        showFrame(c, t, 100);
        const float turn = std::fmod(FX_Credits::cardAngle(t), 360.0f);
        if (turn > 120 && turn < 240) { ASSERT_EQ(0u, pixelsOtherThan(gl.readPixels(), 0x000000FFu)) << "back shown at " << t; }
        if (next < facing.size() && t == facing[next].first) {
            EXPECT_EQ(facing[next++].second, textLines(gl.readPixels(), gl.width(), gl.height())) << "t = " << t; }
    }
}
