#include "resources/Image.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include <epoxy/gl.h>
#include <GL/glu.h>
#include <IL/il.h>
#include <IL/ilu.h>

#include "engine/DemoTypes.h"
#include "engine/Timeline.h"
#include "resources/DataFile.h"

namespace {

constexpr int kNameBuffer = 260;   // names longer than this only have their head looked at for the type

[[noreturn]] void fail(const char* name, const char* why) {
    throw FatalError(std::string("picture \"") + name + "\": " + why);
}

ILenum devilType(ImageType type) {
    switch (type) {
        case ImageType::Png: return IL_PNG;
        case ImageType::Jpg: return IL_JPG;
        case ImageType::Tga: break;
    }
    return IL_TGA;
}

// Whether the decoded picture carries alpha, whatever its stored layout
// (grey + alpha and palettes with alpha included).
bool hasAlpha() {
    switch (ilGetInteger(IL_IMAGE_FORMAT)) {
        case IL_RGBA:
        case IL_BGRA:
        case IL_LUMINANCE_ALPHA:
            return true;
        case IL_COLOUR_INDEX: {
            const ILint palette = ilGetInteger(IL_PALETTE_TYPE);
            return palette == IL_PAL_RGBA32 || palette == IL_PAL_BGRA32;
        }
        default:
            return false;
    }
}

uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint32_t littleEndian16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

// libpng, fed from memory by DevIL, is never told that the buffer ran out:
// a PNG cut off inside a chunk makes it spin for ever.  So the chunks are
// walked first, and a PNG goes in only when its chunks are whole up to IEND.
bool pngChunksWhole(const uint8_t* data, uint32_t size) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    constexpr uint64_t kChunkOverhead = 12;   // length, type, CRC
    if (size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0)
        return true;   // not a PNG at all: DevIL refuses it by itself
    uint64_t at = sizeof kSignature;
    while (at + kChunkOverhead <= size) {
        const uint64_t next = at + kChunkOverhead + bigEndian32(data + at);
        if (next > size) return false;
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
        at = next;
    }
    return false;
}

// DevIL decodes a cut-off uncompressed TGA without complaint, the missing
// rows left as whatever the memory held.  Types 1 to 3 store every pixel
// raw, so their length follows from the header; run-length ones are let by.
bool tgaLongEnough(const uint8_t* data, uint32_t size) {
    constexpr uint32_t kHeader = 18;
    if (size < kHeader) return false;
    const uint32_t imageType = data[2];
    if (imageType < 1 || imageType > 3) return true;
    const uint64_t idBytes = data[0];
    const uint64_t mapBytes = data[1] ? uint64_t(littleEndian16(data + 5)) * ((data[7] + 7u) / 8u) : 0;
    const uint64_t pixelBytes = uint64_t(littleEndian16(data + 12)) * littleEndian16(data + 14) *
                                ((data[16] + 7u) / 8u);
    return kHeader + idBytes + mapBytes + pixelBytes <= size;
}

// One DevIL image, bound for the scope and deleted on every way out.
class BoundDevilImage {
public:
    BoundDevilImage() {
        ilGenImages(1, &id_);
        ilBindImage(id_);
    }
    ~BoundDevilImage() { ilDeleteImages(1, &id_); }
    BoundDevilImage(const BoundDevilImage&) = delete;
    BoundDevilImage& operator=(const BoundDevilImage&) = delete;

private:
    ILuint id_ = 0;
};

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
    ilInit();
    iluInit();
    // Rows must come as stored so the origin test below means what it says;
    // with origin fixing on, DevIL would already have turned some of them.
    ilDisable(IL_ORIGIN_SET);
    BoundDevilImage devilImage;

    const ILenum type = devilType(imageTypeFor(name));
    std::unique_ptr<DataFile> file = files.find(name);
    if (!file) fail(name, "not found");
    // DevIL reads a lump of size 0 as one of unknown size, without bounds.
    if (file->size() == 0) fail(name, "not decodable (empty file)");
    const bool whole = type == IL_PNG   ? pngChunksWhole(file->data(), file->size())
                       : type == IL_TGA ? tgaLongEnough(file->data(), file->size())
                                        : true;
    if (!whole) fail(name, "not decodable (cut short)");
    if (!ilLoadL(type, file->data(), file->size())) fail(name, "not decodable");
    file.reset();   // the bytes are in DevIL's hands now

    // Grey, grey + alpha, palettes and 16-bit channels all become plain bytes
    // of RGB or RGBA, the only layouts a texture is made from.
    const bool alpha = hasAlpha();
    if (!ilConvertImage(alpha ? IL_RGBA : IL_RGB, IL_UNSIGNED_BYTE)) fail(name, "not decodable");

    const ILint width = ilGetInteger(IL_IMAGE_WIDTH);
    const ILint height = ilGetInteger(IL_IMAGE_HEIGHT);
    const ILint bytesPerPixel = ilGetInteger(IL_IMAGE_BYTES_PER_PIXEL);
    if (width <= 0 || height <= 0 || bytesPerPixel != (alpha ? 4 : 3)) fail(name, "not decodable");

    // DevIL keeps the rows in file order and tells which end they start at.
    // A TGA normally starts at the bottom, but its descriptor may say top:
    // flipping by that flag instead of by file type keeps both right.
    if (ilGetInteger(IL_IMAGE_ORIGIN) == IL_ORIGIN_LOWER_LEFT) iluFlipImage();

    const size_t bytes = size_t(width) * size_t(height) * size_t(bytesPerPixel);
    auto* pixels = static_cast<uint8_t*>(allocZeroed(bytes));
    ilCopyPixels(0, 0, 0, ILuint(width), ILuint(height), 1, alpha ? IL_RGBA : IL_RGB,
                 IL_UNSIGNED_BYTE, pixels);

    image.width = width;
    image.height = height;
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
