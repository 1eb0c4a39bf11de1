#include "effects/FX_Final.h"

#include "EffectTestData.h"
#include "GlState.h"

using namespace hlvtest;

constexpr int kSide = 4;   // picture side, texels

TEST(FinalTest, CoversTheFrameWithItsPictureWhateverWasSetAndRestoresIt) {
    HeadlessGl gl{kSide * 15, kSide * 11};   // a pixel centre on every texel centre
    HLV_REQUIRE_GL(gl);
    EffectWorld world{gl.choice()};
    // Every texel different, so a flipped, mirrored or shifted picture shows.
    std::vector<uint8_t> picture;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) picture.insert(picture.end(), {uint8_t(x * 80), uint8_t(y * 80), uint8_t(255 - (x + y) * 30)});
    world.folder.writePicture("final.png", kSide, kSide, 3, picture);
    FX_Final final(world.demo);
    final.init();

    // Blending, lighting, texgen and a depth buffer nothing passes: the
    // picture replaces the frame all the same.  (Culling is left to the
    // effects before it, so it stays off here.)
    setUnusualGlState();
    glDisable(GL_CULL_FACE);
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClearDepth(0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    final.start();
    while (glGetError() != GL_NO_ERROR) {}
    const GlState before = GlState::capture();
    final.render(160000, 16);
    EXPECT_EQ(GlState::capture().diff(before), "");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // The pixels on the texel centres show the picture as it is; none keeps the grey.
    const Frame frame = gl.readPixels();
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(picture[size_t(y * kSide + x) * 3 + c], frame[size_t((11 * y + 5) * gl.width() + 15 * x + 7) * 4 + c], 2)
                    << "texel " << x << ", " << y;
    EXPECT_TRUE(pixelsOtherThan(frame, 0x7F7F7FFFu) == frame.size() / 4 && pixelsOtherThan(frame, 0x808080FFu) == frame.size() / 4);
}
