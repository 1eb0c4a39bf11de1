#include "resources/Image.h"

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include "TestSupport.h"
#include "engine/Timeline.h"
#include "resources/DataFile.h"

using hlvtest::HeadlessGl;
using hlvtest::TempDataFolder;

namespace {

using Bytes = std::vector<uint8_t>;

// A 2 x 3 RGB picture with every pixel different, top row first.
const Bytes kPicture = {255, 0, 0, 0, 255, 0,  0, 0, 255, 255, 255, 0,  0, 255, 255, 40, 80, 120};
constexpr int kWide = 2, kHigh = 3;

void putBigEndian(Bytes& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

void pngChunk(Bytes& out, const char* type, const Bytes& data) {
    putBigEndian(out, uint32_t(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    putBigEndian(out, uint32_t(crc32(0, body.data(), uInt(body.size()))));
}

// A PNG written by hand, for the layouts the shared picture writer does not
// make (colour type 0 grey, 3 palette, 4 grey + alpha, 16-bit channels).
// rows holds the samples of each row back to back, top row first.
Bytes encodePng(int width, int height, int colourType, int bitDepth, const Bytes& rows,
                const Bytes& palette = {}, const Bytes& paletteAlpha = {}) {
    const size_t rowBytes = rows.size() / size_t(height);
    Bytes filtered;
    for (int y = 0; y < height; ++y) {
        filtered.push_back(0);   // filter: none
        filtered.insert(filtered.end(), rows.begin() + y * rowBytes, rows.begin() + (y + 1) * rowBytes);
    }
    uLongf packedSize = compressBound(uLong(filtered.size()));
    Bytes packed(packedSize), header;
    compress(packed.data(), &packedSize, filtered.data(), uLong(filtered.size()));
    packed.resize(packedSize);
    putBigEndian(header, uint32_t(width));
    putBigEndian(header, uint32_t(height));
    header.insert(header.end(), {uint8_t(bitDepth), uint8_t(colourType), 0, 0, 0});

    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    pngChunk(out, "IHDR", header);
    if (!palette.empty()) pngChunk(out, "PLTE", palette);
    if (!paletteAlpha.empty()) pngChunk(out, "tRNS", paletteAlpha);
    pngChunk(out, "IDAT", packed);
    pngChunk(out, "IEND", {});
    return out;
}

// An uncompressed true-colour TGA of a top-row-first RGB(A) picture, stored
// bottom row first (the usual way) or, with the descriptor's bit 5, top first.
Bytes encodeTga(int width, int height, int channels, const Bytes& pixels, bool storedTopFirst) {
    Bytes out(18, 0);
    out[2] = 2;
    out[12] = uint8_t(width), out[13] = uint8_t(width >> 8);
    out[14] = uint8_t(height), out[15] = uint8_t(height >> 8);
    out[16] = uint8_t(channels * 8);
    out[17] = uint8_t((channels == 4 ? 8 : 0) | (storedTopFirst ? 0x20 : 0));
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x) {
            const int y = storedTopFirst ? row : height - 1 - row;
            const uint8_t* p = &pixels[size_t(y * width + x) * channels];
            out.insert(out.end(), {p[2], p[1], p[0]});   // B G R
            if (channels == 4) out.push_back(p[3]);
        }
    return out;
}

// The FatalError message of the call, or a note that there was none.
template <class Call>
std::string fatalMessageOf(Call call) {
    try {
        call();
    } catch (const FatalError& error) {
        return error.what();
    }
    return "(no FatalError)";
}

}  // namespace

TEST(ImageTypeTest, ChosenByLowercasedSubstringTgaFirst) {
    const std::pair<const char*, ImageType> cases[] = {
        {"layers/1_fondo.png", ImageType::Png}, {"LAYERS/FINAL.PNG", ImageType::Png},
        {"menu.JpG", ImageType::Jpg},           {"logo.Tga", ImageType::Tga},
        {"velm/canon.raw", ImageType::Tga},     {"", ImageType::Tga},
        {"a.png.tga", ImageType::Tga},          {"a.tga.png", ImageType::Tga},
        {"a.jpg.png", ImageType::Png}};
    for (auto [name, type] : cases) EXPECT_EQ(imageTypeFor(name), type) << name;
}

TEST(DecodeImageTest, EveryLayoutComesOutTopRowFirstAsRgbOrRgba) {
    Bytes rgba;
    for (size_t i = 0; i < kPicture.size(); i += 3)
        rgba.insert(rgba.end(), {kPicture[i], kPicture[i + 1], kPicture[i + 2], uint8_t(i * 10)});
    struct Case { const char* name; Bytes file; int width, height, bytesPerPixel; Bytes pixels; };
    const Case cases[] = {
        {"BIG.PNG", encodePng(kWide, kHigh, 2, 8, kPicture), kWide, kHigh, 3, kPicture},   // the lookup keeps the case
        {"bottom-first.tga", encodeTga(kWide, kHigh, 3, kPicture, false), kWide, kHigh, 3, kPicture},
        {"top-first.tga", encodeTga(kWide, kHigh, 3, kPicture, true), kWide, kHigh, 3, kPicture},
        {"rgba.png", encodePng(kWide, kHigh, 6, 8, rgba), kWide, kHigh, 4, rgba},
        {"rgba.tga", encodeTga(kWide, kHigh, 4, rgba, false), kWide, kHigh, 4, rgba},
        {"grey.png", encodePng(3, 2, 0, 8, {0, 100, 200, 255, 50, 7}), 3, 2, 3,
         {0, 0, 0, 100, 100, 100, 200, 200, 200, 255, 255, 255, 50, 50, 50, 7, 7, 7}},
        {"grey-alpha.png", encodePng(2, 1, 4, 8, {10, 20, 30, 40}), 2, 1, 4, {10, 10, 10, 20, 30, 30, 30, 40}},
        {"palette.png", encodePng(2, 2, 3, 8, {0, 1, 1, 0}, {9, 8, 7, 200, 150, 100}), 2, 2, 3,
         {9, 8, 7, 200, 150, 100, 200, 150, 100, 9, 8, 7}},
        {"palette-alpha.png", encodePng(2, 1, 3, 8, {1, 0}, {9, 8, 7, 200, 150, 100}, {255, 60}), 2, 1, 4,
         {200, 150, 100, 60, 9, 8, 7, 255}},
        // 16 bits per channel, big-endian: the high bytes survive.
        {"wide.png", encodePng(1, 1, 2, 16, {0x12, 0x34, 0xAB, 0xCD, 0xFF, 0x00}), 1, 1, 3, {0x12, 0xAB, 0xFF}}};
    TempDataFolder folder;
    DataFileService files(folder.root());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        folder.write(c.name, c.file);
        PixelImage image;
        decodeImage(image, c.name, files);
        ASSERT_EQ(image.width, c.width);
        ASSERT_EQ(image.height, c.height);
        ASSERT_EQ(image.bytesPerPixel, c.bytesPerPixel);
        EXPECT_EQ(Bytes(image.pixels, image.pixels + c.pixels.size()), c.pixels);
        freeBlock(image.pixels);
    }
}

// JPEG is lossy: a picture of two flat halves comes back near each half's
// colour, away from the middle rows where chroma subsampling smears them.
TEST(DecodeImageTest, JpegComesOutTopRowFirstAsRgb) {
    constexpr int kSide = 16;
    Bytes halves;
    for (int i = 0; i < kSide * kSide; ++i)
        halves.insert(halves.end(), {uint8_t(i < kSide * kSide / 2 ? 220 : 20), 30, uint8_t(i < kSide * kSide / 2 ? 20 : 220)});
    TempDataFolder folder;
    folder.writePicture("menu.jpg", kSide, kSide, 3, halves);
    DataFileService files(folder.root());
    PixelImage image;
    decodeImage(image, "menu.jpg", files);
    ASSERT_TRUE(image.width == kSide && image.height == kSide && image.bytesPerPixel == 3);
    for (int y : {0, 1, 2, kSide - 3, kSide - 2, kSide - 1})
        for (size_t i = size_t(y) * kSide * 3; i < size_t(y + 1) * kSide * 3; ++i)
            ASSERT_NEAR(image.pixels[i], halves[i], 16) << "row " << y << " byte " << i;
    freeBlock(image.pixels);
}

TEST(DecodeImageTest, MissingOrUndecodablePictureIsFatalAndNamed) {
    // Cut inside the data chunk: libpng fed from memory once spun for ever on this.
    Bytes cut = encodePng(kWide, kHigh, 2, 8, kPicture);
    cut.resize(cut.size() - 20);
    // A text chunk claiming more bytes than the file has: libpng, fed from
    // memory, would read stale buffers for ever (this test then hangs).
    Bytes lying = encodePng(kWide, kHigh, 2, 8, kPicture);
    const Bytes text = {0, 0, 0x03, 0xE8, 't', 'E', 'X', 't', 'h', 'i'};
    lying.insert(lying.begin() + 33, text.begin(), text.end());   // after the signature and IHDR
    Bytes cutTga = encodeTga(kWide, kHigh, 3, kPicture, false);
    cutTga.resize(cutTga.size() - 3);
    // Headers that ask for more memory than any picture of the show needs.
    Bytes hugeTga = encodeTga(kWide, kHigh, 4, Bytes(kWide * kHigh * 4), false);
    hugeTga[12] = hugeTga[13] = hugeTga[14] = hugeTga[15] = 0xFF;
    // libjpeg skips stray bytes between segments, so the size check must too.
    const Bytes stray = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 'J', 'F', '[', '[', '[', 0xFF, 0xC0, 0, 17, 8,
                         0x2E, 0x70, 0x6E, 0x67, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
    const std::string words = "this is not a picture at all, just words";
    const std::tuple<const char*, Bytes, const char*> cases[] = {
        {"tunnel/textura.png", {}, "not found"},   // the one file not written
        {"garbage.png", Bytes(words.begin(), words.end()), "not decodable"},
        {"empty.png", {}, "not decodable"},
        {"cut.png", cut, "not decodable"},
        {"lying-chunk.png", lying, "not decodable"},
        {"cut.tga", cutTga, "not decodable"},
        {"png-inside.dat", encodePng(kWide, kHigh, 2, 8, kPicture), "not decodable"},   // no known extension: TGA
        {"huge.tga", hugeTga, "too large (65535 x 65535"},
        {"wide.png", encodePng(100000, 1, 0, 8, Bytes(100000)), "too large (100000 x 1"},
        {"stray.jpg", stray, "too large (28263 x 11888"}};
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

TEST(CreateTextureTest, MipmappedWithAlphaOnlyFromRgbaAndTightRows) {
    HeadlessGl gl;
    HLV_REQUIRE_GL(gl);
    // 2 x 2 RGB has 6-byte rows: read at GL's default 4-byte alignment, its
    // second row would start two bytes late.
    Bytes rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    Bytes rgba = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    GLint v = -1;
    auto get = [&](GLenum what) { return glGetIntegerv(what, &v), v; };
    auto level = [&](int n, GLenum what) { return glGetTexLevelParameteriv(GL_TEXTURE_2D, n, what, &v), v; };
    const GLint alignment = get(GL_UNPACK_ALIGNMENT);

    for (const PixelImage& image : {PixelImage{2, 2, 3, rgb.data()}, PixelImage{2, 2, 4, rgba.data()}}) {
        SCOPED_TRACE(image.bytesPerPixel);
        glDisable(GL_TEXTURE_2D);
        const uint32_t texture = createTexture(image);
        ASSERT_NE(texture, 0u);
        EXPECT_EQ(GLuint(get(GL_TEXTURE_BINDING_2D)), texture);
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_EQ(level(0, GL_TEXTURE_ALPHA_SIZE) > 0, image.bytesPerPixel == 4);
        EXPECT_EQ(level(1, GL_TEXTURE_WIDTH), 1) << "not mipmapped";

        Bytes level0(size_t(4) * image.bytesPerPixel);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, image.bytesPerPixel == 3 ? GL_RGB : GL_RGBA, GL_UNSIGNED_BYTE,
                      level0.data());
        EXPECT_EQ(level0, Bytes(image.pixels, image.pixels + level0.size()));
    }
    EXPECT_EQ(get(GL_UNPACK_ALIGNMENT), alignment);
}

TEST(LoadImageSlotsTest, BothSlotsBecomeTexturesOrTheShowStops) {
    HeadlessGl gl;
    HLV_REQUIRE_GL(gl);
    TempDataFolder folder;
    folder.writeSolidPicture("back.png", 4, 4, 3, 0x102030FFu);
    folder.writeSolidPicture("front.png", 4, 4, 4, 0xFFFFFF80u);
    DataFileService files(folder.root());
    Schedule schedule;
    std::strcpy(schedule.imageSlots[0], "back.png");
    std::strcpy(schedule.imageSlots[1], "front.png");
    uint32_t textures[2] = {0, 0};
    loadImageSlots(schedule, files, textures);
    EXPECT_NE(textures[0], 0u);
    EXPECT_NE(textures[1], 0u);
    EXPECT_NE(textures[0], textures[1]);

    std::strcpy(schedule.imageSlots[1], "gone.png");
    const auto load = [&] { loadImageSlots(schedule, files, textures); };
    EXPECT_NE(fatalMessageOf(load).find("\"gone.png\": not found"), std::string::npos);
    schedule.imageSlots[1][0] = '\0';
    EXPECT_NE(fatalMessageOf(load).find("LOADIMAGE 1"), std::string::npos);
}

TEST(AllocZeroedTest, BlocksComeZeroed) {
    // Small blocks come back from a freed dirty one, large ones fresh from the system.
    for (size_t n : {size_t(1), size_t(24), size_t(4096), size_t(1) << 20}) {
        auto* dirty = static_cast<uint8_t*>(std::malloc(n));
        std::memset(dirty, 0xAB, n);
        std::free(dirty);
        auto* block = static_cast<uint8_t*>(allocZeroed(n));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(size_t(std::count(block, block + n, 0)), n) << n << " bytes";
        freeBlock(block);
    }
    freeBlock(nullptr);
}
