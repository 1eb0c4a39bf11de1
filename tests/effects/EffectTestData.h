// A data folder with the pictures an effect loads, a DemoContext pointing at
// it, and frame helpers for headless renders.  Header-only so each effect
// test can take what it needs.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <epoxy/gl.h>
#include <IL/il.h>

#include "TestSupport.h"
#include "engine/DemoTypes.h"
#include "engine/IEffect.h"
#include "resources/DataFile.h"

namespace hlvtest {

// A 32 x 32 RGB picture with a gradient and a checker, so texture
// coordinates show up in a frame.
inline void writePatternPicture(const TempDataFolder& folder, const std::string& name) {
    constexpr int kSize = 32;
    std::vector<uint8_t> pixels(kSize * kSize * 3);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            uint8_t* p = &pixels[size_t(y * kSize + x) * 3];
            const bool check = ((x / 8) + (y / 8)) % 2 == 0;
            p[0] = uint8_t(x * 8);
            p[1] = uint8_t(y * 8);
            p[2] = check ? 200 : 60;
        }
    folder.writePicture(name, kSize, kSize, 3, pixels);
}

// Layer set n: a dark blue background, a mask that keeps the scene except a
// black strip along the top, and a foreground that fills that strip in red.
inline void writeLayerSet(const TempDataFolder& folder, int n) {
    constexpr int kW = 16, kH = 16, kStrip = 2;
    const std::string prefix = "layers/" + std::to_string(n);
    folder.writeSolidPicture(prefix + "_fondo.png", kW, kH, 3, 0x101830FFu);
    std::vector<uint8_t> mask(kW * kH * 3, 255), fore(kW * kH * 3, 0);
    for (int i = 0; i < kW * kStrip; ++i) {
        mask[i * 3] = mask[i * 3 + 1] = mask[i * 3 + 2] = 0;
        fore[i * 3] = 200;
    }
    folder.writePicture(prefix + "_mascara.png", kW, kH, 3, mask);
    folder.writePicture(prefix + "_damunt.png", kW, kH, 3, fore);
}

// Everything an effect reaches through DemoContext, rooted in a throw-away folder.
struct EffectWorld {
    TempDataFolder  folder;
    DataFileService files{folder.root()};
    DemoContext     demo;

    explicit EffectWorld(const DisplayChoice& display) {
        demo.display = display;
        demo.files = &files;
    }
};

// Clears as the frame loop does, then renders one frame.
inline void showFrame(IEffect& effect, uint32_t time_ms, uint32_t delta_ms) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    effect.render(time_ms, delta_ms);
}

// Pixels that are not the given RGBA value (alpha ignored).
inline size_t pixelsOtherThan(const std::vector<uint8_t>& rgba, uint32_t colour) {
    size_t n = 0;
    for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
        const uint32_t c = uint32_t(rgba[i]) << 16 | uint32_t(rgba[i + 1]) << 8 | rgba[i + 2];
        if (c != (colour >> 8)) ++n;
    }
    return n;
}

// With HLV_FRAME_DIR set, saves a frame there as <name>.png for a person to
// look at; otherwise does nothing.
inline void dumpFrame(const std::string& name, int width, int height, const std::vector<uint8_t>& topDown) {
    const char* dir = std::getenv("HLV_FRAME_DIR");
    if (!dir || !*dir) return;
    ilInit();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilTexImage(ILuint(width), ILuint(height), 1, 4, IL_RGBA, IL_UNSIGNED_BYTE,
               const_cast<uint8_t*>(topDown.data()));
    ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT);
    ilEnable(IL_FILE_OVERWRITE);
    const std::string path = std::string(dir) + "/" + name + ".png";
    ilSave(IL_PNG, path.c_str());
    ilDeleteImages(1, &image);
}

inline std::vector<float> glFloats(GLenum what, int n) {
    std::vector<float> v(size_t(n), 0.0f);
    glGetFloatv(what, v.data());
    return v;
}

inline std::vector<float> lightFloats(GLenum light, GLenum what) {
    std::vector<float> v(4, 0.0f);
    glGetLightfv(light, what, v.data());
    return v;
}

inline std::vector<float> texGenFloats(GLenum coord, GLenum what) {
    std::vector<float> v(4, 0.0f);
    glGetTexGenfv(coord, what, v.data());
    return v;
}

inline GLint glInt(GLenum what) {
    GLint v = 0;
    glGetIntegerv(what, &v);
    return v;
}

}  // namespace hlvtest
