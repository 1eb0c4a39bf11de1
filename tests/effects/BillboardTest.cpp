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

TEST(Billboard, SpriteQuadHasItsCornerAtTheOrigin) {
    HeadlessGl gl(64, 48);
    HLV_REQUIRE_GL(gl);
    // A red texel on the left of the texture, a green one on the right; no
    // matrices, so the quad's edge of 1 covers the upper right quarter.
    const uint8_t texels[] = {255, 0, 0, 0, 255, 0};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    for (GLenum filter : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER}) glTexParameteri(GL_TEXTURE_2D, filter, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    glEnable(GL_TEXTURE_2D);
    glClear(GL_COLOR_BUFFER_BIT);
    glCallList(compileSpriteList(1.0f));
    EXPECT_EQ(0xFF0000u, gl.pixel(36, 12) >> 8) << "s = 0 at the corner";
    EXPECT_EQ(0x00FF00u, gl.pixel(60, 12) >> 8) << "s = 1 an edge along x";
    EXPECT_EQ(0u, gl.pixel(28, 12) >> 8) << "the quad reaches left of its corner";
    EXPECT_EQ(0u, gl.pixel(36, 36) >> 8) << "the quad reaches below its corner";
    glDeleteTextures(1, &texture);
}
