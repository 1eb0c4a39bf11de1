#include "resources/Image.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include <epoxy/gl.h>
#include <GL/glu.h>
#include <SDL.h>
#include <SDL_image.h>

#include "engine/DemoTypes.h"
#include "engine/Timeline.h"
#include "resources/DataFile.h"

namespace {

constexpr int kNameBuffer = 260;   // names longer than this only have their head looked at for the type

// Pictures bigger than this are refused before anything is allocated for
// them: a few header bytes could otherwise ask for gigabytes.
constexpr uint32_t kMaxSide = 8192;                   // pixels
constexpr uint64_t kMaxPixels = uint64_t(1) << 24;   // 16 M, 64 MB as RGBA

[[noreturn]] void fail(const char* name, const std::string& why) {
    throw FatalError(std::string("picture \"") + name + "\": " + why);
}

uint32_t bigEndian16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t bigEndian32(const uint8_t* p) { return bigEndian16(p) << 16 | bigEndian16(p + 2); }
uint32_t littleEndian16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

struct Size {
    uint32_t width = 0, height = 0;   // 0 x 0: the header did not say
};

// The size a picture's header claims, read the way its decoder will read it.
Size claimedSize(ImageType type, const uint8_t* data, uint32_t size) {
    switch (type) {
        case ImageType::Png: {
            // Signature, then IHDR's length and type, then width and height.
            if (size < 24 || std::memcmp(data + 12, "IHDR", 4) != 0) return {};
            return {bigEndian32(data + 16), bigEndian32(data + 20)};
        }
        case ImageType::Tga: {
            // Only the kinds of TGA there are (mapped, true colour, grey; raw
            // or run-length) have a size worth reading; the decoder refuses the rest.
            if (size < 18) return {};
            const uint8_t kind = data[2] & ~8u;
            if (kind < 1 || kind > 3) return {};
            return {littleEndian16(data + 12), littleEndian16(data + 14)};
        }
        case ImageType::Jpg: {
            // Segments from SOI up to the first start-of-frame (SOF0 .. SOF15,
            // less DHT, JPG and DAC, which share the range).
            uint32_t at = 2;
            while (at + 4 <= size) {
                if (data[at] != 0xFF) { ++at; continue; }   // libjpeg skips stray bytes too
                const uint8_t marker = data[at + 1];
                if (marker == 0xFF) { ++at; continue; }   // fill byte
                // Markers without a length: libjpeg steps over them (and over
                // FF 00) and reads on, so reading a length there would skip
                // ahead, past the frame whose size matters.
                if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) { at += 2; continue; }
                if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
                    return at + 9 <= size ? Size{bigEndian16(data + at + 7), bigEndian16(data + at + 5)} : Size{};
                if (marker == 0xDA || marker == 0xD9) return {};   // scan or end before any frame
                at += 2 + bigEndian16(data + at + 2);
            }
            return {};
        }
    }
    return {};
}

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Refused here rather than by libpng, whose complaint would go to stderr
// beside ours.
bool pngSigned(const uint8_t* data, uint32_t size) {
    return size >= sizeof kPngSignature && std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0;
}

// SDL_image feeds libpng from memory without telling it when the bytes ran
// out: a chunk whose length runs past the end makes libpng read stale
// buffers for ever.  So the chunks are walked first, and a PNG goes in only
// when its chunks are whole up to IEND.
bool pngChunksWhole(const uint8_t* data, uint32_t size) {
    constexpr uint64_t kChunkOverhead = 12;   // length, type, CRC
    uint64_t at = sizeof kPngSignature;
    while (at + kChunkOverhead <= size) {
        const uint64_t next = at + kChunkOverhead + bigEndian32(data + at);
        if (next > size) return false;
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
        at = next;
    }
    return false;
}

// SDL_image decodes a cut-off uncompressed TGA without complaint, the
// missing rows left black.  Kinds 1 to 3 store every pixel raw, so their
// length follows from the header; run-length ones are let by.
bool tgaLongEnough(const uint8_t* data, uint32_t size) {
    constexpr uint32_t kHeader = 18;
    if (size < kHeader) return false;
    const uint32_t kind = data[2];
    if (kind < 1 || kind > 3) return true;
    const uint64_t idBytes = data[0];
    const uint64_t mapBytes = data[1] ? uint64_t(littleEndian16(data + 5)) * ((data[7] + 7u) / 8u) : 0;
    const uint64_t pixelBytes = uint64_t(littleEndian16(data + 12)) * littleEndian16(data + 14) *
                                ((data[16] + 7u) / 8u);
    return kHeader + idBytes + mapBytes + pixelBytes <= size;
}

SDL_Surface* decodeSurface(ImageType type, const uint8_t* data, uint32_t size) {
    SDL_RWops* source = SDL_RWFromConstMem(data, int(size));
    if (!source) return nullptr;
    // The loader of the named type only: the bytes do not get to pick another.
    SDL_Surface* surface = type == ImageType::Png   ? IMG_LoadPNG_RW(source)
                           : type == ImageType::Jpg ? IMG_LoadJPG_RW(source)
                                                    : IMG_LoadTGA_RW(source);
    SDL_RWclose(source);
    return surface;
}

// Whether the decoded picture carries alpha, whatever its stored layout:
// an alpha channel, a transparent colour key, or a palette with alpha.
bool carriesAlpha(SDL_Surface* surface) {
    if (SDL_ISPIXELFORMAT_ALPHA(surface->format->format) || SDL_HasColorKey(surface)) return true;
    if (const SDL_Palette* palette = surface->format->palette)
        for (int i = 0; i < palette->ncolors; ++i)
            if (palette->colors[i].a != SDL_ALPHA_OPAQUE) return true;
    return false;
}

struct SurfaceFree {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using Surface = std::unique_ptr<SDL_Surface, SurfaceFree>;

}  // namespace

ImageType imageTypeFor(const char* name) {
    char lowered[kNameBuffer] = {};
    for (int i = 0; i < kNameBuffer - 1 && name[i]; ++i) {
        const char c = name[i];
        lowered[i] = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    if (std::strstr(lowered, ".tga")) return ImageType::Tga;
    if (std::strstr(lowered, ".png")) return ImageType::Png;
    if (std::strstr(lowered, ".jpg")) return ImageType::Jpg;
    return ImageType::Tga;
}

void decodeImage(PixelImage& image, const char* name, DataFileService& files) {
    const ImageType type = imageTypeFor(name);
    std::unique_ptr<DataFile> file = files.find(name);
    if (!file) fail(name, "not found");
    if (file->size() == 0) fail(name, "not decodable (empty file)");
    if (file->size() > uint32_t(INT_MAX)) fail(name, "not decodable (larger than 2 GB)");

    if (type == ImageType::Png && !pngSigned(file->data(), file->size()))
        fail(name, "not decodable (not a PNG file)");
    const Size claimed = claimedSize(type, file->data(), file->size());
    if (claimed.width > kMaxSide || claimed.height > kMaxSide ||
        uint64_t(claimed.width) * claimed.height > kMaxPixels)
        fail(name, "too large (" + std::to_string(claimed.width) + " x " + std::to_string(claimed.height) +
                       " pixels, at most " + std::to_string(kMaxSide) + " a side)");

    const bool whole = type == ImageType::Png   ? pngChunksWhole(file->data(), file->size())
                       : type == ImageType::Tga ? tgaLongEnough(file->data(), file->size())
                                                : true;
    if (!whole) fail(name, "not decodable (cut short)");
    Surface decoded(decodeSurface(type, file->data(), file->size()));
    if (!decoded) fail(name, std::string("not decodable (") + IMG_GetError() + ")");
    file.reset();

    // Grey, palettes, colour keys and 16-bit channels all become plain bytes
    // of RGB or RGBA, the only layouts a texture is made from.  Both loaders
    // deliver the top row first, whichever way a TGA stores its rows.
    const bool alpha = carriesAlpha(decoded.get());
    Surface converted(SDL_ConvertSurfaceFormat(decoded.get(), alpha ? SDL_PIXELFORMAT_RGBA32 : SDL_PIXELFORMAT_RGB24, 0));
    if (!converted || converted->w <= 0 || converted->h <= 0)
        fail(name, std::string("not decodable (") + SDL_GetError() + ")");

    const int bytesPerPixel = alpha ? 4 : 3;
    const size_t row = size_t(converted->w) * bytesPerPixel;
    auto* pixels = static_cast<uint8_t*>(allocZeroed(row * size_t(converted->h)));
    SDL_LockSurface(converted.get());
    for (int y = 0; y < converted->h; ++y)
        std::memcpy(pixels + row * size_t(y), static_cast<const uint8_t*>(converted->pixels) + size_t(y) * converted->pitch, row);
    SDL_UnlockSurface(converted.get());

    image.width = converted->w;
    image.height = converted->h;
    image.bytesPerPixel = bytesPerPixel;
    image.pixels = pixels;
}

uint32_t createTexture(const PixelImage& image) {
    glEnable(GL_TEXTURE_2D);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);

    // Our rows are packed tight; at GL's default 4-byte alignment an RGB
    // picture whose width is not a multiple of four would be read askew.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    gluBuild2DMipmaps(GL_TEXTURE_2D, image.bytesPerPixel, image.width, image.height,
                      image.bytesPerPixel == 3 ? GL_RGB : GL_RGBA, GL_UNSIGNED_BYTE, image.pixels);
    glPopClientAttrib();
    return texture;
}

uint32_t loadTexture(const char* name, DataFileService& files) {
    PixelImage image;
    decodeImage(image, name, files);
    const uint32_t texture = createTexture(image);
    freeBlock(image.pixels);
    return texture;
}

void loadImageSlots(const Schedule& schedule, DataFileService& files, uint32_t textures[2]) {
    for (int slot = 0; slot < 2; ++slot) {
        if (schedule.imageSlots[slot][0] == '\0')
            throw FatalError("loading-screen picture " + std::to_string(slot) +
                             " is not named by the script (LOADIMAGE " + std::to_string(slot) + ")");
        textures[slot] = loadTexture(schedule.imageSlots[slot], files);
    }
}

void* allocZeroed(size_t n) {
    void* p = std::calloc(n ? n : 1, 1);
    if (!p) throw std::bad_alloc();
    return p;
}

void freeBlock(void* p) { std::free(p); }
