#include "resources/PngWriter.h"

#include <cstdio>
#include <cstring>

#include <zlib.h>

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kColourTypeRgb = 2, kColourTypeRgba = 6;
constexpr uint8_t kFilterUp = 2;   // cheap and good on rendered frames and gradients

void putBig32(std::vector<uint8_t>& out, uint32_t v) {
    const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    out.insert(out.end(), b, b + 4);
}

void putChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t size) {
    putBig32(out, uint32_t(size));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    if (size) out.insert(out.end(), data, data + size);
    putBig32(out, uint32_t(crc32(0, out.data() + typeAt, uInt(size + 4))));
}

}  // namespace

std::vector<uint8_t> encodePng(int width, int height, int channels, const uint8_t* pixels, int level) {
    const size_t stride = size_t(width) * channels;

    // Each row gets its filter byte; the first row has nothing above and is stored as is.
    std::vector<uint8_t> filtered((stride + 1) * height);
    for (int y = 0; y < height; ++y) {
        uint8_t* dst = &filtered[(stride + 1) * y];
        const uint8_t* row = pixels + stride * y;
        if (y == 0) {
            dst[0] = 0;
            std::memcpy(dst + 1, row, stride);
            continue;
        }
        dst[0] = kFilterUp;
        const uint8_t* above = row - stride;
        for (size_t i = 0; i < stride; ++i) dst[1 + i] = uint8_t(row[i] - above[i]);
    }

    uLongf packedSize = compressBound(uLong(filtered.size()));
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, filtered.data(), uLong(filtered.size()), level);

    std::vector<uint8_t> png(kSignature, kSignature + 8);
    uint8_t header[13] = {};
    const uint32_t w = uint32_t(width), h = uint32_t(height);
    for (int i = 0; i < 4; ++i) {
        header[i] = uint8_t(w >> (24 - 8 * i));
        header[4 + i] = uint8_t(h >> (24 - 8 * i));
    }
    header[8] = 8;   // bits per channel
    header[9] = channels == 4 ? kColourTypeRgba : kColourTypeRgb;
    putChunk(png, "IHDR", header, sizeof header);
    putChunk(png, "IDAT", packed.data(), packedSize);
    putChunk(png, "IEND", nullptr, 0);
    return png;
}

bool writePng(const std::string& path, int width, int height, int channels, const uint8_t* pixels,
              int level) {
    const std::vector<uint8_t> png = encodePng(width, height, channels, pixels, level);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}
