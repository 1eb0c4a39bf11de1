// Helpers shared by every test program: throw-away data folders and a
// headless GL context (SDL's offscreen driver on Mesa's llvmpipe).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/DemoTypes.h"
#include "platform/GlWindow.h"

namespace hlvtest {

// A fresh folder under the system's temp dir, removed with the object.
class TempDataFolder {
public:
    TempDataFolder();
    ~TempDataFolder();
    TempDataFolder(const TempDataFolder&) = delete;
    TempDataFolder& operator=(const TempDataFolder&) = delete;

    // The folder holding data/ and data.dat, where DataFileService looks (ends with '/').
    const std::string& root() const { return root_; }
    // <root>/data/<name>, making sub-folders as needed.
    void write(const std::string& name, const std::string& bytes) const;
    void write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    // <root>/<path>, for archives beside data/.
    void writeRoot(const std::string& path, const std::vector<uint8_t>& bytes) const;

    // <root>/data/<name> as a PNG; pixels top row first, R G B (A) for 3 or
    // 4 channels.
    void writePicture(const std::string& name, int width, int height, int channels,
                      const std::vector<uint8_t>& pixels) const;
    // A picture of one colour, 0xRRGGBBAA (alpha used with 4 channels only).
    void writeSolidPicture(const std::string& name, int width, int height, int channels, uint32_t rgba) const;
    // "hlv.txt" with both loading-screen pictures made and named, then the
    // given FXTIME lines (e.g. "FXTIME Flash 0 1000").
    void writeScript(const std::vector<std::string>& fxLines, const std::string& music = "") const;

private:
    std::string root_;
};

// The current context's back buffer, width x height from the lower-left
// corner, as RGBA bytes, top row first.
std::vector<uint8_t> readBackBuffer(int width, int height);

// A real window and GL context on the offscreen video driver, current for
// the object's life.
class HeadlessGl {
public:
    explicit HeadlessGl(int width = 64, int height = 48);
    ~HeadlessGl() { window_.destroyContext(); }

    bool ok() const { return ok_; }
    int width() const { return choice_.width; }
    int height() const { return choice_.height; }
    const DisplayChoice& choice() const { return choice_; }
    GlWindow& window() { return window_; }

    // The back buffer as RGBA bytes, top row first.
    std::vector<uint8_t> readPixels() const;

private:
    DisplayChoice choice_;
    GlWindow      window_;
    bool          ok_ = false;
};

// Ends the current test when a device it needs is missing: a skip on a
// developer's machine, but a failure when CI is set, so a runner that lost
// its GL or display cannot pass by skipping.  why may be a << chain.
#define HLV_REQUIRE_DEVICE(ok, why)                                                  \
    if (ok) {                                                                        \
    } else if (std::getenv("CI"))                                                    \
        GTEST_FAIL() << why << " (CI is set, so a missing device fails the test)"; \
    else                                                                             \
        GTEST_SKIP() << why

#define HLV_REQUIRE_GL(gl) HLV_REQUIRE_DEVICE((gl).ok(), "no headless GL context")

}  // namespace hlvtest
