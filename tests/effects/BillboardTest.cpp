#include "effects/Billboard.h"

#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "EffectTestData.h"

using namespace hlvtest;

TEST(Billboard, DropsTheTurnAndScaleButKeepsThePlace) {
    HeadlessGl gl;
    HLV_REQUIRE_GL(gl);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1, 2, -5);
    glRotatef(30, 1, 0, 0);
    glRotatef(50, 0, 1, 0);
    glScalef(2, 3, 4);
    glTranslatef(0.5f, 0.25f, 0.125f);
    const std::vector<float> place = viewed(0, 0, 0);

    glPushMatrix();
    faceScreen();
    EXPECT_LT(maxDiff(viewed(0, 0, 0), place), 1e-6f);
    // A sprite corner one unit along x lands one unit to the right on screen.
    const std::vector<float> corner = viewed(1, 1, 0);
    EXPECT_LT(maxDiff(corner, {place[0] + 1, place[1] + 1, place[2], 1}), 1e-6f);
    glPopMatrix();

    EXPECT_GT(maxDiff(viewed(1, 1, 0), corner), 0.5f) << "the scene's own matrix comes back after the pop";
}
