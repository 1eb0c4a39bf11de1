#include "effects/FX_Credits.h"

#include <cmath>
#include <vector>

#include <epoxy/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include "EffectTestData.h"
#include "TextFrames.h"

namespace {

using namespace hlvtest;

TEST(FX_Credits, CardTurnsAbout43DegreesASecondFromMinus250) {
    EXPECT_FLOAT_EQ(-250.0f, FX_Credits::cardAngle(0));
    EXPECT_NEAR(530.0f, FX_Credits::cardAngle(18000), 1e-3);
    EXPECT_NEAR(43.3333f, FX_Credits::cardAngle(11000) - FX_Credits::cardAngle(10000), 1e-3);
}

TEST(FX_Credits, PageMovesOnOncePerTurnWhileTheBackShows) {
    DemoContext demo;
    FX_Credits c(demo);
    c.turnPage(180.9f);
    EXPECT_EQ(0u, c.page()) << "180 itself is not past it";
    c.turnPage(185.0f);
    EXPECT_EQ(1u, c.page());
    EXPECT_FALSE(c.armed());
    c.turnPage(195.0f);
    c.turnPage(219.0f);
    EXPECT_EQ(1u, c.page());
    EXPECT_FALSE(c.armed());
    // Early in the show the angle is negative: -10 counts as 2^32 - 10,
    // which is 246 degrees on, past the re-arming mark.
    c.turnPage(-10.5f);
    EXPECT_TRUE(c.armed());
    c.turnPage(545.0f);
    EXPECT_EQ(2u, c.page());
    // A frame rate so low that the whole window is jumped over.
    c.turnPage(600.0f);
    c.turnPage(921.0f);
    EXPECT_EQ(2u, c.page());
    c.turnPage(1270.0f);
    c.turnPage(1330.0f);
    c.turnPage(1630.0f);
    EXPECT_EQ(4u, c.page()) << "turns are still counted after the last page";
}

class CreditsGl : public ::testing::Test {
protected:
    HeadlessGl  gl{320, 240};
    EffectWorld world{gl.choice()};

    // Screen box of the card at turn a, as the camera of start sees it.
    PixelBox cardBox(float a) {
        glPushMatrix();
        glRotatef(-10, 1, 0, 0);
        glRotatef(a, 0, 1, 0);
        GLdouble model[16], projection[16];
        GLint viewport[4];
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        glPopMatrix();
        PixelBox box;
        for (double x : {-2.0, 2.0})
            for (double y : {-0.6, 0.6}) {
                GLdouble sx, sy, sz;
                gluProject(x, y, 1.0, model, projection, viewport, &sx, &sy, &sz);
                box.left = std::min(box.left, int(std::floor(sx))), box.right = std::max(box.right, int(std::ceil(sx)));
                const int top = gl.height() - int(std::ceil(sy)), bottom = gl.height() - int(std::floor(sy));
                box.top = std::min(box.top, top), box.bottom = std::max(box.bottom, bottom);
            }
        return box;
    }
};

// Text lines on the frame: runs of rows with a bright pixel.
int textLines(const Frame& f, int width, int height) {
    int lines = 0;
    bool inLine = false;
    for (int y = 0; y < height; ++y) {
        bool lit = false;
        for (int x = 0; x < width && !lit; ++x) lit = f[(size_t(y) * width + x) * 4 + 1] > 128;
        lines += lit && !inLine;
        inLine = lit;
    }
    return lines;
}

TEST_F(CreditsGl, ThreePagesFacingTheViewerAndNothingFromBehind) {
    HLV_REQUIRE_GL(gl);
    FX_Credits c(world.demo);
    c.init();
    glEnable(GL_LIGHTING);
    c.start();
    EXPECT_EQ("", wrongCaps({GL_CULL_FACE, GL_BLEND, GL_TEXTURE_2D, GL_LIGHTING}, {GL_DEPTH_TEST, GL_TEXTURE_GEN_S}));
    EXPECT_LT(perspectiveError(45, 320.0f / 240.0f, 0.1f, 100.0f), 1e-5);
    glDisable(GL_LIGHTING);   // left by an unlit effect before it

    // 10 frames a second; the card faces the viewer near 14.1, 22.4, 30.7
    // and 39 s and shows its back in between.
    const std::vector<std::pair<uint32_t, int>> facing = {{14100, 2}, {22400, 3}, {30700, 2}, {39000, 0}};
    size_t next = 0;
    for (uint32_t t = 12000; t <= 39000; t += 100) {
        showFrame(c, t, 100);
        const float a = FX_Credits::cardAngle(t);
        const float turn = std::fmod(a, 360.0f);
        if (turn > 120 && turn < 240) {
            ASSERT_EQ(0u, pixelsOtherThan(gl.readPixels(), 0x000000FFu)) << "back shown at " << t;
        }
        if (next < facing.size() && t == facing[next].first) {
            SCOPED_TRACE("t = " + std::to_string(t));
            const Frame f = gl.readPixels();
            dumpFrame("credits-" + std::to_string(t), gl.width(), gl.height(), f);
            EXPECT_EQ(facing[next].second, textLines(f, gl.width(), gl.height()));
            const PixelBox lit = brighterThan(f, gl.width(), gl.height(), 0), card = cardBox(a);
            if (facing[next].second > 0) {
                EXPECT_TRUE(lit.inside(card.left - 1, card.top - 1, card.right + 1, card.bottom + 1))
                    << lit.left << " " << lit.top << " " << lit.right << " " << lit.bottom;
            }
            ++next;
        }
    }
    EXPECT_EQ(facing.size(), next);
    EXPECT_EQ(3u, c.page());
}

}  // namespace
