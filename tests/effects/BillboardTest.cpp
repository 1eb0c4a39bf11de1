#include "effects/Billboard.h"

#include "EffectTestData.h"

using namespace hlvtest;

TEST(Billboard, DropsTheTurnAndScaleButKeepsThePlace) {
    HeadlessGl gl;
    HLV_REQUIRE_GL(gl);
    glLoadIdentity();
    glTranslatef(1, 2, -5);
    glRotatef(30, 1, 0, 0);
    glRotatef(50, 0, 1, 0);
    glScalef(2, 3, 4);
    glTranslatef(0.5f, 0.25f, 0.125f);
    const std::vector<float> place = viewed(0, 0, 0);
    faceScreen();
    EXPECT_LT(maxDiff(viewed(0, 0, 0), place), 1e-6f);
    // A sprite corner one unit along x and y lands one unit right and up.
    EXPECT_LT(maxDiff(viewed(1, 1, 0), {place[0] + 1, place[1] + 1, place[2], 1}), 1e-6f);
}
