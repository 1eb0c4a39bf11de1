// Data folders, a DemoContext pointing at them, and frame and GL-state
// helpers for the effect tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engine/DemoTypes.h"
#include "engine/IEffect.h"
#include "resources/DataFile.h"

namespace hlvtest {

using Frame = std::vector<uint8_t>;   // RGBA, top row first
constexpr uint32_t kLayerBackground = 0x101830FFu;   // writeLayerSet's background, 0xRRGGBBAA

// Layer set n: a dark blue (0x101830) background, a mask that keeps the scene
// except a black strip along the top eighth, and a foreground filling that
// strip in red; with a light orange picture as the effect's texture if named.
inline void writeLayerSet(const TempDataFolder& folder, int n, const std::string& texture = "") {
    if (!texture.empty()) folder.writeSolidPicture(texture, 8, 8, 3, 0xE0A070FFu);
    constexpr int kW = 16, kH = 16, kStrip = 2;
    const std::string prefix = "layers/" + std::to_string(n);
    folder.writeSolidPicture(prefix + "_fondo.png", kW, kH, 3, kLayerBackground);
    std::vector<uint8_t> mask(kW * kH * 3, 255), fore(kW * kH * 3, 0);
    std::fill_n(mask.begin(), kW * kStrip * 3, 0);
    for (int i = 0; i < kW * kStrip; ++i) fore[i * 3] = 200;
    folder.writePicture(prefix + "_mascara.png", kW, kH, 3, mask);
    folder.writePicture(prefix + "_damunt.png", kW, kH, 3, fore);
}

// Everything an effect reaches through DemoContext, rooted in a throw-away folder.
struct EffectWorld {
    TempDataFolder  folder;
    DataFileService files{folder.root()};
    DemoContext     demo;
    explicit EffectWorld(const DisplayChoice& display) { demo.display = display, demo.files = &files; }
};

// A headless context and a world holding an effect's data (written by
// WriteData), for the tests of the effect's GL side.
template <void (*WriteData)(const TempDataFolder&)>
class EffectGl : public ::testing::Test {
protected:
    HeadlessGl  gl{96, 72};
    EffectWorld world{gl.choice()};
    void SetUp() override { HLV_REQUIRE_GL(gl); WriteData(world.folder); }
};

// One-call readers of GL state.
inline std::vector<float> glFloats(GLenum what, int n) { std::vector<float> v(static_cast<size_t>(n), 0.0f); glGetFloatv(what, v.data()); return v; }
inline std::vector<float> lightFloats(GLenum light, GLenum what) { std::vector<float> v(4); glGetLightfv(light, what, v.data()); return v; }
inline GLint glInt(GLenum what) { GLint v = 0; glGetIntegerv(what, &v); return v; }

// Clears as the frame loop does, then renders one frame.
inline void showFrame(IEffect& effect, uint32_t time_ms, uint32_t delta_ms) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    effect.render(time_ms, delta_ms);
}

// Pixels that are not the given 0xRRGGBBAA colour (alpha ignored).
inline size_t pixelsOtherThan(const Frame& rgba, uint32_t colour) {
    size_t n = 0;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4)
        n += (uint32_t(rgba[i]) << 16 | uint32_t(rgba[i + 1]) << 8 | rgba[i + 2]) != colour >> 8;
    return n;
}

// Expects every frame to differ from the background in more than `least`
// and less than `most` of its pixels (fractions of the frame).
inline void expectScene(const std::vector<Frame>& frames, double least, double most = 2,
                        uint32_t background = kLayerBackground) {
    for (size_t n = 0; n < frames.size(); ++n) {
        const double share = double(pixelsOtherThan(frames[n], background)) * 4 / double(frames[n].size());
        EXPECT_TRUE(share > least && share < most) << "frame " << n << ": " << share << " not the background";
    }
}

// Plays a fresh FX twice, each time in a fresh context and data folder
// (filled by writeData): initialised twice (the second init gives the first
// one's buffers back), started once and shown at each music time in turn
// with the time since the previous as delta.
// Expects every frame to leave the model-view matrix and its stack as it
// found them, and the same frames both times; returns the first run's.
// Leaves no GL context current.
template <class FX>
std::vector<Frame> playTwice(void (*writeData)(const TempDataFolder&), const std::vector<uint32_t>& times,
                             int width = 160, int height = 120) {
    std::vector<Frame> runs[2];
    for (std::vector<Frame>& run : runs) {
        HeadlessGl gl(width, height);
        EffectWorld world(gl.choice());
        writeData(world.folder);
        FX fx(world.demo);
        fx.init();
        fx.init();
        fx.start();
        for (size_t n = 0; n < times.size(); ++n) {
            const std::vector<float> view = glFloats(GL_MODELVIEW_MATRIX, 16);
            const GLint depth = glInt(GL_MODELVIEW_STACK_DEPTH);
            showFrame(fx, times[n], times[n] - (n ? times[n - 1] : 0));
            EXPECT_TRUE(view == glFloats(GL_MODELVIEW_MATRIX, 16) && depth == glInt(GL_MODELVIEW_STACK_DEPTH))
                << fx.name << " frame " << n << " moved the view";
            run.push_back(gl.readPixels());
        }
        fx.release();
    }
    for (size_t n = 0; n < times.size(); ++n)
        EXPECT_TRUE(runs[0][n] == runs[1][n]) << "frame " << n << " differs between runs";
    return runs[0];
}

inline float maxDiff(const std::vector<float>& a, const std::vector<float>& b) {
    float worst = a.size() == b.size() ? 0.0f : INFINITY;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) worst = std::max(worst, std::fabs(a[i] - b[i]));
    return worst;
}

// Where the current model-view matrix takes a world point (x, y, z, 1).
inline std::vector<float> viewed(float x, float y, float z) {
    const std::vector<float> m = glFloats(GL_MODELVIEW_MATRIX, 16);
    std::vector<float> e(4);
    for (size_t r = 0; r < 4; ++r) e[r] = m[r] * x + m[4 + r] * y + m[8 + r] * z + m[12 + r];
    return e;
}

// The frame pixel (x from the left, y from the top, as doubles) where a
// gluLookAt camera with a gluPerspective lens of fovY degrees shows a world
// point, worked out from the lens alone.
inline std::vector<double> lookAtPixel(const std::vector<double>& point, const std::vector<double>& eye,
                                       const std::vector<double>& target, double fovY, int width, int height) {
    auto minus = [](auto a, auto b) { return std::vector<double>{a[0] - b[0], a[1] - b[1], a[2] - b[2]}; };
    auto dot3 = [](auto a, auto b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
    auto unit = [&](std::vector<double> a) { const double l = std::sqrt(dot3(a, a)); return std::vector<double>{a[0] / l, a[1] / l, a[2] / l}; };
    const std::vector<double> f = unit(minus(target, eye)), r = unit({-f[2], 0, f[0]});   // forward, right (up is +y)
    const std::vector<double> u = {r[1] * f[2] - r[2] * f[1], r[2] * f[0] - r[0] * f[2], r[0] * f[1] - r[1] * f[0]};
    const std::vector<double> d = minus(point, eye);
    const double depth = dot3(d, f) * std::tan(fovY * M_PI / 360);
    return {(1 + dot3(d, r) / (depth * width / height)) * width / 2, (1 - dot3(d, u) / depth) * height / 2};
}

}  // namespace hlvtest
