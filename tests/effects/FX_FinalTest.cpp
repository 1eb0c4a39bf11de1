#include "effects/FX_Final.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "EffectTestData.h"
#include "GlState.h"
#include "engine/EffectRegistry.h"

using namespace hlvtest;

namespace {

constexpr int kSide = 4;   // picture side, texels

class FinalTest : public ::testing::Test {
protected:
    HeadlessGl  gl{64, 48};
    EffectWorld world{gl.choice()};
};

}  // namespace

TEST_F(FinalTest, CoversTheFrameWithItsPictureWhateverWasSetAndRestoresIt) {
    HLV_REQUIRE_GL(gl);
    // Every texel different, so a flipped, mirrored or shifted picture shows.
    std::vector<uint8_t> picture;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) picture.insert(picture.end(), {uint8_t(x * 80), uint8_t(y * 80), uint8_t(255 - (x + y) * 30)});
    world.folder.writePicture("final.png", kSide, kSide, 3, picture);
    FX_Final final(world.demo);
    final.init();

    // Additive blending, lighting, texgen and a depth buffer nothing passes:
    // the picture replaces the frame all the same.  (Culling is left to the
    // effects before it, so it stays off here.)
    setUnusualGlState();
    glDisable(GL_CULL_FACE);
    glBlendFunc(GL_ONE, GL_ONE);
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClearDepth(0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    final.start();
    while (glGetError() != GL_NO_ERROR) {}
    const GlState before = GlState::capture();
    final.render(160000, 16);
    EXPECT_EQ(GlState::capture().diff(before), "");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // Against GL_LINEAR magnification with GL_REPEAT wrapping, top row first.
    auto texel = [&](int x, int y, int c) {
        return double(picture[size_t(((y + kSide) % kSide * kSide + (x + kSide) % kSide) * 3 + c)]);
    };
    const std::vector<uint8_t> frame = gl.readPixels();
    int worst = 0, worstX = 0, worstY = 0;
    for (int y = 0; y < gl.height(); ++y)
        for (int x = 0; x < gl.width(); ++x) {
            const double u = (x + 0.5) / gl.width() * kSide - 0.5, v = (y + 0.5) / gl.height() * kSide - 0.5;
            const int x0 = int(std::floor(u)), y0 = int(std::floor(v));
            const double fx = u - x0, fy = v - y0;
            for (int c = 0; c < 3; ++c) {
                const double expected = (1 - fy) * ((1 - fx) * texel(x0, y0, c) + fx * texel(x0 + 1, y0, c)) +
                                        fy * ((1 - fx) * texel(x0, y0 + 1, c) + fx * texel(x0 + 1, y0 + 1, c));
                const int error = std::abs(frame[size_t(y * gl.width() + x) * 4 + c] - int(std::lround(expected)));
                if (error > worst) worst = error, worstX = x, worstY = y;
            }
        }
    EXPECT_LE(worst, 4) << "at (" << worstX << ", " << worstY << ")";   // our model against the rasteriser's
}

TEST_F(FinalTest, MissingPictureStopsTheShowByName) {
    HLV_REQUIRE_GL(gl);
    FX_Final final(world.demo);
    try {
        final.init();
        ADD_FAILURE() << "init without final.png went through";
    } catch (const FatalError& error) {
        EXPECT_NE(std::string(error.what()).find("final.png"), std::string::npos) << error.what();
    }
}

TEST_F(FinalTest, RegisteredLastAsFinal) {
    EffectRegistry registry;
    registry.registerAll(world.demo);
    ASSERT_GT(registry.size(), 0u);
    EXPECT_STREQ(registry.at(registry.size() - 1)->name, "Final");
    EXPECT_NE(dynamic_cast<FX_Final*>(registry.find("Final")), nullptr);
}
