#include "effects/FX_Final.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "GlState.h"
#include "TestSupport.h"
#include "engine/EffectRegistry.h"
#include "resources/DataFile.h"

using hlvtest::GlState;
using hlvtest::HeadlessGl;
using hlvtest::TempDataFolder;

namespace {

constexpr int kSide = 4;         // picture side, texels
constexpr int kTolerance = 4;    // our bilinear model against the rasteriser's

// Every texel different, so a flipped, mirrored or shifted picture shows.
std::vector<uint8_t> finalPicture() {
    std::vector<uint8_t> p;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            p.insert(p.end(), {uint8_t(x * 80), uint8_t(y * 80), uint8_t(255 - (x + y) * 30)});
    return p;
}

// GL_LINEAR magnification of the picture with GL_REPEAT wrapping at texture
// coordinates (s, t), t = 0 being the picture's top row.
double sample(const std::vector<uint8_t>& picture, double s, double t, int channel) {
    const double u = s * kSide - 0.5, v = t * kSide - 0.5;
    const int x0 = int(std::floor(u)), y0 = int(std::floor(v));
    const double fx = u - x0, fy = v - y0;
    auto at = [&](int x, int y) {
        x = (x % kSide + kSide) % kSide;
        y = (y % kSide + kSide) % kSide;
        return double(picture[size_t(y * kSide + x) * 3 + channel]);
    };
    return (1 - fy) * ((1 - fx) * at(x0, y0) + fx * at(x0 + 1, y0)) +
           fy * ((1 - fx) * at(x0, y0 + 1) + fx * at(x0 + 1, y0 + 1));
}

class FinalTest : public ::testing::Test {
protected:
    void SetUp() override {
        demo.files = &files;
        demo.display = gl.choice();
    }

    HeadlessGl      gl{64, 48};
    TempDataFolder  folder;
    DataFileService files{folder.root()};
    DemoContext     demo;
};

}  // namespace

TEST_F(FinalTest, CoversTheFrameWithItsPictureWhateverWasSet) {
    HLV_REQUIRE_GL(gl);
    const std::vector<uint8_t> picture = finalPicture();
    folder.writePicture("final.png", kSide, kSide, 3, picture);
    FX_Final final(demo);
    final.init();

    // Additive blending, lighting, texgen and a depth buffer nothing passes:
    // the picture replaces the frame all the same.  (Culling is left to the
    // effects before it, so it stays off here.)
    hlvtest::setUnusualGlState();
    glDisable(GL_CULL_FACE);
    glBlendFunc(GL_ONE, GL_ONE);
    glClearColor(0.5f, 0.5f, 0.5f, 1);
    glClearDepth(0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    final.start();
    final.render(160000, 16);

    const std::vector<uint8_t> frame = gl.readPixels();
    int worst = 0, worstX = 0, worstY = 0;
    for (int y = 0; y < gl.height(); ++y)
        for (int x = 0; x < gl.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                const double expected =
                    sample(picture, (x + 0.5) / gl.width(), (y + 0.5) / gl.height(), c);
                const int got = frame[size_t(y * gl.width() + x) * 4 + c];
                const int error = std::abs(got - int(std::lround(expected)));
                if (error > worst) worst = error, worstX = x, worstY = y;
            }
    EXPECT_LE(worst, kTolerance) << "at (" << worstX << ", " << worstY << ")";
}

TEST_F(FinalTest, RenderLeavesTheStateAsItFoundIt) {
    HLV_REQUIRE_GL(gl);
    folder.writeSolidPicture("final.png", kSide, kSide, 3, 0x336699FFu);
    FX_Final final(demo);
    final.init();
    hlvtest::setUnusualGlState();
    while (glGetError() != GL_NO_ERROR) {}

    const GlState before = GlState::capture();
    final.render(0, 0);
    EXPECT_EQ(GlState::capture().diff(before), "");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(FinalTest, MissingPictureStopsTheShowByName) {
    HLV_REQUIRE_GL(gl);
    FX_Final final(demo);
    try {
        final.init();
        ADD_FAILURE() << "init without final.png went through";
    } catch (const FatalError& error) {
        EXPECT_NE(std::string(error.what()).find("final.png"), std::string::npos) << error.what();
    }
}

TEST_F(FinalTest, RegisteredLastAsFinal) {
    EffectRegistry registry;
    registry.registerAll(demo);
    ASSERT_GT(registry.size(), 0u);
    EXPECT_STREQ(registry.at(registry.size() - 1)->name, "Final");
    EXPECT_NE(dynamic_cast<FX_Final*>(registry.find("Final")), nullptr);
}
