#include "TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <epoxy/gl.h>
#include <SDL.h>

#include "resources/PngWriter.h"

namespace fs = std::filesystem;

namespace hlvtest {

TempDataFolder::TempDataFolder() {
    std::string pattern = (fs::temp_directory_path() / "halvoren-test-XXXXXX").string();
    mkdtemp(pattern.data());   // fills in the X's
    root_ = pattern + "/";
    fs::create_directories(root_ + "data");
}

TempDataFolder::~TempDataFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

void TempDataFolder::writeRoot(const std::string& path, const std::vector<uint8_t>& bytes) const {
    const fs::path full = fs::path(root_) / path;
    fs::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                std::streamsize(bytes.size()));
}

void TempDataFolder::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    writeRoot("data/" + name, bytes);
}

void TempDataFolder::write(const std::string& name, const std::string& bytes) const {
    write(name, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

void TempDataFolder::writePicture(const std::string& name, int width, int height, int channels,
                                  const std::vector<uint8_t>& pixels) const {
    write(name, encodePng(packedPixels(width, height, channels, pixels.data())));
}

void TempDataFolder::writeSolidPicture(const std::string& name, int width, int height, int channels,
                                       uint32_t rgba) const {
    std::vector<uint8_t> pixels(size_t(width) * height * channels);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(rgba >> (24 - 8 * (i % channels)));
    writePicture(name, width, height, channels, pixels);
}

void TempDataFolder::writeScript(const std::vector<std::string>& fxLines, const std::string& music) const {
    writeSolidPicture("slot0.png", 16, 16, 3, 0x203040FFu);
    writeSolidPicture("slot1.png", 16, 16, 4, 0xFFFFFF00u);
    std::string text = "INI_01\n" + (music.empty() ? "" : "MUSIC " + music + "\n") +
                       "LOADIMAGE 0 slot0.png\nLOADIMAGE 1 slot1.png\n";
    for (const std::string& line : fxLines) text += line + "\n";
    write("hlv.txt", text + "END_01\n");
}

HeadlessGl::HeadlessGl(int width, int height) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    choice_.width = width;
    choice_.height = height;
    ok_ = window_.createWindow("halvoren test", choice_);
}

std::vector<uint8_t> HeadlessGl::readPixels() const { return readBackBuffer(choice_.width, choice_.height); }

std::vector<uint8_t> readBackBuffer(int width, int height) {
    const size_t row = size_t(width) * 4;
    std::vector<uint8_t> bottomUp(row * height), topDown(bottomUp.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    for (int y = 0; y < height; ++y) std::copy_n(&bottomUp[(height - 1 - y) * row], row, &topDown[y * row]);
    return topDown;
}

}  // namespace hlvtest
