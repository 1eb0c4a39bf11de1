#include "resources/Image.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "engine/Timeline.h"
#include "resources/DataFile.h"
#include "resources/PngWriter.h"

using hlvtest::HeadlessGl;
using hlvtest::TempDataFolder;

namespace {

using Bytes = std::vector<uint8_t>;

// A 2 x 3 RGB picture with every pixel different, top row first.
const Bytes kPicture = {255, 0, 0, 0, 255, 0,  0, 0, 255, 255, 255, 0,  0, 255, 255, 40, 80, 120};
constexpr int kWide = 2, kHigh = 3;

// PNG through the content generator's writer; pixels top row first.
Bytes png(int width, int height, int channels, const Bytes& pixels) {
    return encodePng(packedPixels(width, height, channels, pixels.data()));
}

// A 24-bit TGA of a picture given top row first as RGB: pixels stored B G R,
// rows bottom-up unless topDown; with rle each row is packed into a run
// packet for each repeated pixel and a raw packet for each single one.
Bytes tgaOf(int width, int height, const Bytes& rgb, bool topDown, bool rle) {
    Bytes out = {0, 0, uint8_t(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0, uint8_t(width), uint8_t(width >> 8),
                 uint8_t(height), uint8_t(height >> 8), 24, uint8_t(topDown ? 0x20 : 0)};
    for (int r = 0; r < height; ++r) {
        const uint8_t* row = &rgb[size_t(topDown ? r : height - 1 - r) * width * 3];
        for (int x = 0, n = 1; x < width; x += n, n = 1) {
            while (x + n < width && std::equal(row + x * 3, row + x * 3 + 3, row + (x + n) * 3)) ++n;
            if (rle) out.push_back(uint8_t(n > 1 ? 0x80 | (n - 1) : 0));
            for (int k = 0; k < (rle ? 1 : n); ++k) out.insert(out.end(), {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]});
        }
    }
    return out;
}

// The FatalError message of the call, or a note that there was none.
template <class Call>
std::string fatalMessageOf(Call call) {
    try { call(); } catch (const FatalError& error) { return error.what(); }
    return "(no FatalError)";
}

}  // namespace

// Every TGA layout, and a PNG, come out top row first; RGBA pictures show by
// their alpha in LoadingScreenTest.
TEST(DecodeImageTest, EveryTgaLayoutAndPngComeOutTopRowFirst) {
    const Bytes kRuns = {255, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 255, 255, 255};
    struct Case { const char* name; Bytes file; int width, height, bytesPerPixel; Bytes pixels; };
    const Case cases[] = {
        {"BIG.PNG", png(kWide, kHigh, 3, kPicture), kWide, kHigh, 3, kPicture},   // the lookup keeps the case
        // Red, red, green over blue, white, white: a run and a single pixel in each row.
        {"up-raw.tga", tgaOf(3, 2, kRuns, false, false), 3, 2, 3, kRuns},
        {"down-raw.tga", tgaOf(3, 2, kRuns, true, false), 3, 2, 3, kRuns},
        {"up-rle.tga", tgaOf(3, 2, kRuns, false, true), 3, 2, 3, kRuns},
        {"down-rle.tga", tgaOf(3, 2, kRuns, true, true), 3, 2, 3, kRuns}};
    TempDataFolder folder;
    DataFileService files(folder.root());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        folder.write(c.name, c.file);
        PixelImage image;
        decodeImage(image, c.name, files);
        ASSERT_TRUE(image.width == c.width && image.height == c.height && image.bytesPerPixel == c.bytesPerPixel)
            << image.width << " x " << image.height << " x " << image.bytesPerPixel;
        EXPECT_EQ(Bytes(image.pixels, image.pixels + c.pixels.size()), c.pixels);
        freeBlock(image.pixels);
    }
}

// A PNG chunk claiming bytes past the end, and JPEG frames behind stray bytes
// or markers without a length, are kept fuzz inputs: their replay catches the
// hang or the gigabytes they once cost.
TEST(DecodeImageTest, MissingOrUndecodablePictureIsFatalAndNamed) {
    // Cut inside the data chunk: libpng fed from memory once spun for ever on this.
    Bytes cut = png(kWide, kHigh, 3, kPicture);
    cut.resize(cut.size() - 20);
    const std::string words = "this is not a picture at all, just words";
    Bytes cutTga = tgaOf(kWide, kHigh, kPicture, false, false), huge = cutTga;
    cutTga.pop_back();
    std::fill_n(huge.begin() + 12, 4, 0xFF);   // 65535 x 65535
    const std::tuple<const char*, Bytes, const char*> cases[] = {
        {"tunnel/textura.png", {}, "not found"},   // the one file not written
        {"garbage.png", Bytes(words.begin(), words.end()), "not decodable"},
        {"empty.png", {}, "not decodable"},
        {"cut.png", cut, "not decodable"},
        {"cut.tga", cutTga, "not decodable"},
        {"png-inside.dat", png(kWide, kHigh, 3, kPicture), "not decodable"},   // no known extension: TGA
        {"huge.tga", huge, "too large (65535 x 65535"},
        {"wide.png", png(100000, 1, 3, Bytes(300000)), "too large (100000 x 1"}};
    TempDataFolder folder;
    DataFileService files(folder.root());
    for (const auto& [name, bytes, why] : cases) {
        if (std::strcmp(why, "not found") != 0) folder.write(name, bytes);
        const std::string message = fatalMessageOf([&, name = name] {
            PixelImage image;
            decodeImage(image, name, files);
            freeBlock(image.pixels);
        });
        EXPECT_NE(message.find(std::string("\"") + name + "\": " + why), std::string::npos) << name << ": " << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
}

// 2 x 2 RGB has 6-byte rows: read at GL's default 4-byte alignment, its
// second row would start two bytes late.  Mipmaps and alpha show in
// LoadingScreenTest's pictures, whose rows are whole words.
TEST(CreateTextureTest, TightRgbRowsAreReadStraight) {
    HeadlessGl gl;
    HLV_REQUIRE_GL(gl);
    Bytes rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_NE(createTexture(PixelImage{2, 2, 3, rgb.data()}), 0u);
    Bytes level0(16);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, level0.data());
    EXPECT_EQ(level0, (Bytes{1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255}));
}

// A slot the script never named stops the show, naming the line it lacks.
// A named one that is missing fails in decodeImage, as ShowExitTest sees.
TEST(LoadImageSlotsTest, AnUnnamedSlotStopsTheShow) {
    DataFileService files;   // never asked: the name is missing before any lookup
    const auto schedule = std::make_unique<Schedule>();
    uint32_t textures[2] = {0, 0};
    const auto load = [&] { loadImageSlots(*schedule, files, textures); };
    EXPECT_NE(fatalMessageOf(load).find("LOADIMAGE 0"), std::string::npos);
}
