#include "TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <epoxy/gl.h>
#include <IL/il.h>

namespace fs = std::filesystem;

namespace hlvtest {

TempDataFolder::TempDataFolder() {
    std::string pattern = (fs::temp_directory_path() / "halvoren-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    root_ = std::string(made ? made : pattern.c_str()) + "/";
    fs::create_directories(root_ + "data");
}

TempDataFolder::~TempDataFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void TempDataFolder::writeRoot(const std::string& path, const std::vector<uint8_t>& bytes) const {
    fs::path full = fs::path(root_) / path;
    fs::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void TempDataFolder::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    writeRoot("data/" + name, bytes);
}

void TempDataFolder::write(const std::string& name, const std::string& bytes) const {
    write(name, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void TempDataFolder::writePicture(const std::string& name, int width, int height, int channels,
                                  const std::vector<uint8_t>& pixels) const {
    ilInit();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    // DevIL keeps rows bottom-up unless told otherwise; our pixels are top-down.
    ilTexImage(ILuint(width), ILuint(height), 1, ILubyte(channels), channels == 4 ? IL_RGBA : IL_RGB,
               IL_UNSIGNED_BYTE, const_cast<uint8_t*>(pixels.data()));
    ilRegisterOrigin(IL_ORIGIN_UPPER_LEFT);
    const bool jpeg = name.size() > 4 && name.compare(name.size() - 4, 4, ".jpg") == 0;
    const ILuint capacity = ILuint(pixels.size() * 2 + 4096);
    std::vector<uint8_t> encoded(capacity);
    const ILuint written = ilSaveL(jpeg ? IL_JPG : IL_PNG, encoded.data(), capacity);
    ilDeleteImages(1, &image);
    encoded.resize(written);
    write(name, encoded);
}

void TempDataFolder::writeSolidPicture(const std::string& name, int width, int height, int channels,
                                       uint32_t rgba) const {
    std::vector<uint8_t> pixels(size_t(width) * height * channels);
    const uint8_t c[4] = {uint8_t(rgba >> 24), uint8_t(rgba >> 16), uint8_t(rgba >> 8), uint8_t(rgba)};
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = c[i % channels];
    writePicture(name, width, height, channels, pixels);
}

void TempDataFolder::writeScript(const std::vector<std::string>& fxLines, const std::string& music) const {
    writeSolidPicture("slot0.png", 16, 16, 3, 0x203040FFu);
    writeSolidPicture("slot1.png", 16, 16, 4, 0xFFFFFF00u);
    std::string text = "INI_01\n";
    if (!music.empty()) text += "MUSIC " + music + "\n";
    text += "LOADIMAGE 0 slot0.png\nLOADIMAGE 1 slot1.png\n";
    for (const std::string& line : fxLines) text += line + "\n";
    text += "END_01\n";
    write("hlv.txt", text);
}

HeadlessGl::HeadlessGl(int width, int height) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    choice_.width = width;
    choice_.height = height;
    ok_ = window_.createWindow("halvoren test", choice_);
}

HeadlessGl::~HeadlessGl() { window_.destroyContext(); }

std::vector<uint8_t> HeadlessGl::readPixels() const {
    const int w = choice_.width, h = choice_.height;
    std::vector<uint8_t> bottomUp(size_t(w) * h * 4), topDown(bottomUp.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    for (int y = 0; y < h; ++y)
        std::copy_n(&bottomUp[size_t(h - 1 - y) * w * 4], size_t(w) * 4, &topDown[size_t(y) * w * 4]);
    return topDown;
}

uint32_t HeadlessGl::pixel(int x, int y) const {
    uint8_t rgba[4] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(x, choice_.height - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return uint32_t(rgba[0]) << 24 | uint32_t(rgba[1]) << 16 | uint32_t(rgba[2]) << 8 | rgba[3];
}

}  // namespace hlvtest
