#include "resources/PngWriter.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <libdeflate.h>
#include <png.h>
#include <zlib.h>

namespace {

// The fast setting: Sub turns flat spans into runs of zeros and run-length
// matching packs those in a fifth less time than zlib's level 1, about as small
// on rendered frames.
constexpr int kFastFilter = PNG_FILTER_SUB;
constexpr int kFastStrategy = Z_RLE;

// libpng reports errors by longjmp: nothing in here may own anything.
bool encode(png_structp png, png_infop info, const PngPixels& p, int level, png_bytep* rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, png_uint_32(p.width), png_uint_32(p.height), 8,
                 p.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, level);
    if (level <= 1) {
        png_set_filter(png, PNG_FILTER_TYPE_BASE, kFastFilter);
        png_set_compression_strategy(png, kFastStrategy);
    }
    png_write_info(png, info);
    if (p.skipFourth && p.channels == 3) png_set_filler(png, 0, PNG_FILLER_AFTER);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

void appendTo(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

void flushNothing(png_structp) {}

// Warnings and errors go to the caller's result, not to stderr.
void quietWarning(png_structp, png_const_charp) {}

void rememberError(png_structp png, png_const_charp message) {
    auto* why = static_cast<std::string*>(png_get_error_ptr(png));
    if (why && why->empty()) *why = message;
    png_longjmp(png, 1);
}

bool run(const PngPixels& p, int level, std::vector<uint8_t>* memory, std::string& why) {
    if (p.width <= 0 || p.height <= 0 || (p.channels != 3 && p.channels != 4) || !p.top) {
        why = "bad picture";
        return false;
    }
    std::vector<png_bytep> rows(size_t(p.height));
    for (int y = 0; y < p.height; ++y) rows[size_t(y)] = const_cast<png_bytep>(p.top + p.stride * y);

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &why, rememberError, quietWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = info != nullptr;
    if (ok) {
        png_set_write_fn(png, memory, appendTo, flushNothing);
        ok = encode(png, info, p, level, rows.data());
    }
    png_destroy_write_struct(&png, &info);
    if (!ok && why.empty()) why = "out of memory";
    return ok;
}

}  // namespace

PngPixels packedPixels(int width, int height, int channels, const uint8_t* pixels) {
    return {width, height, channels, false, pixels, ptrdiff_t(width) * channels};
}

std::vector<uint8_t> encodePng(const PngPixels& pixels, int level) {
    std::vector<uint8_t> out;
    std::string why;
    if (!run(pixels, level, &out, why)) out.clear();
    return out;
}

namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr size_t kChunkFrame = 12;        // length, type and CRC around a chunk's data
constexpr size_t kHeaderData = 13;        // IHDR's data
constexpr uint8_t kRgb = 2, kRgba = 6;    // colour types
// The whole filtered image is compressed in one call; past this a frame
// would not fit in memory anyway.
constexpr uint64_t kMostFilteredBytes = uint64_t(1) << 31;

void putBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// Length and type before the data at p + 8, the CRC of type and data after it.
void closeChunk(uint8_t* p, const char type[4], size_t dataSize) {
    putBe32(p, uint32_t(dataSize));
    std::memcpy(p + 4, type, 4);
    putBe32(p + 8 + dataSize, uint32_t(libdeflate_crc32(0, p + 4, dataSize + 4)));
}

uint8_t paeth(uint8_t a, uint8_t b, uint8_t c) {
    const int pa = std::abs(int(b) - int(c)), pb = std::abs(int(a) - int(c)), pc = std::abs(int(a) + int(b) - 2 * int(c));
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

// One row through one filter; prev is the unfiltered row above (zeros for the first).
void filterRow(PngFilter filter, const uint8_t* cur, const uint8_t* prev, size_t n, size_t bpp, uint8_t* out) {
    switch (filter) {
    case PngFilter::Sub:
        for (size_t i = 0; i < bpp; ++i) out[i] = cur[i];
        for (size_t i = bpp; i < n; ++i) out[i] = uint8_t(cur[i] - cur[i - bpp]);
        break;
    case PngFilter::Up:
        for (size_t i = 0; i < n; ++i) out[i] = uint8_t(cur[i] - prev[i]);
        break;
    case PngFilter::Average:
        for (size_t i = 0; i < bpp; ++i) out[i] = uint8_t(cur[i] - (prev[i] >> 1));
        for (size_t i = bpp; i < n; ++i) out[i] = uint8_t(cur[i] - ((unsigned(cur[i - bpp]) + prev[i]) >> 1));
        break;
    case PngFilter::Paeth:
        for (size_t i = 0; i < bpp; ++i) out[i] = uint8_t(cur[i] - prev[i]);
        for (size_t i = bpp; i < n; ++i) out[i] = uint8_t(cur[i] - paeth(cur[i - bpp], prev[i], prev[i - bpp]));
        break;
    default:
        std::memcpy(out, cur, n);
        break;
    }
}

uint64_t signedSum(const uint8_t* row, size_t n) {
    uint64_t sum = 0;
    for (size_t i = 0; i < n; ++i) sum += uint64_t(std::abs(int(int8_t(row[i]))));
    return sum;
}

}  // namespace

PngFrameEncoder::PngFrameEncoder(PngFilter filter, int level) : filter_(filter), level_(level) {}

PngFrameEncoder::~PngFrameEncoder() {
    if (compressor_) libdeflate_free_compressor(compressor_);
}

PngFrameEncoder::Bytes PngFrameEncoder::encode(const PngPixels& p) {
    const bool rgbx = p.skipFourth && p.channels == 3;
    if (p.width <= 0 || p.height <= 0 || (p.channels != 3 && p.channels != 4) || !p.top) return {};
    const size_t bpp = size_t(p.channels), rowBytes = size_t(p.width) * bpp;
    if ((uint64_t(rowBytes) + 1) * uint64_t(p.height) > kMostFilteredBytes) return {};
    if (!compressor_ && !(compressor_ = libdeflate_alloc_compressor(level_))) return {};

    const size_t line = rowBytes + 1;
    // Two unfiltered rows (this one and the one above) and, when choosing
    // per row, one candidate row per filter after them.
    const bool adaptive = filter_ == PngFilter::Adaptive;
    const size_t scratch = rowBytes * (adaptive ? 7 : 2);
    if (rows_.size() < scratch) rows_.resize(scratch);
    if (filtered_.size() < line * size_t(p.height)) filtered_.resize(line * size_t(p.height));
    uint8_t* cur = rows_.data();
    uint8_t* prev = cur + rowBytes;
    std::memset(prev, 0, rowBytes);   // above the top row
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* src = p.top + p.stride * y;
        if (rgbx) {
            for (size_t x = 0; x < size_t(p.width); ++x) std::memcpy(cur + 3 * x, src + 4 * x, 3);
        } else {
            std::memcpy(cur, src, rowBytes);
        }
        uint8_t* out = &filtered_[line * size_t(y)];
        if (!adaptive) {
            out[0] = uint8_t(filter_);
            filterRow(filter_, cur, prev, rowBytes, bpp, out + 1);
        } else {
            uint8_t* candidates = rows_.data() + 2 * rowBytes;
            int best = 0;
            uint64_t bestSum = UINT64_MAX;
            for (int f = 0; f <= int(PngFilter::Paeth); ++f) {
                uint8_t* row = candidates + rowBytes * size_t(f);
                filterRow(PngFilter(f), cur, prev, rowBytes, bpp, row);
                const uint64_t sum = signedSum(row, rowBytes);
                if (sum < bestSum) {
                    bestSum = sum;
                    best = f;
                }
            }
            out[0] = uint8_t(best);
            std::memcpy(out + 1, candidates + rowBytes * size_t(best), rowBytes);
        }
        std::swap(cur, prev);
    }

    const size_t imageBytes = line * size_t(p.height);
    const size_t bound = libdeflate_zlib_compress_bound(compressor_, imageBytes);
    const size_t headerAt = sizeof kSignature, dataAt = headerAt + kChunkFrame + kHeaderData;
    if (file_.size() < dataAt + kChunkFrame + bound + kChunkFrame) file_.resize(dataAt + kChunkFrame + bound + kChunkFrame);
    uint8_t* f = file_.data();
    std::memcpy(f, kSignature, sizeof kSignature);
    uint8_t* ihdr = f + headerAt + 8;
    putBe32(ihdr, uint32_t(p.width));
    putBe32(ihdr + 4, uint32_t(p.height));
    ihdr[8] = 8;                                       // bits per sample
    ihdr[9] = p.channels == 4 ? kRgba : kRgb;
    ihdr[10] = ihdr[11] = ihdr[12] = 0;                // deflate, per-row filters, no interlacing
    closeChunk(f + headerAt, "IHDR", kHeaderData);
    const size_t packed = libdeflate_zlib_compress(compressor_, filtered_.data(), imageBytes, f + dataAt + 8, bound);
    if (packed == 0) return {};
    closeChunk(f + dataAt, "IDAT", packed);
    const size_t endAt = dataAt + kChunkFrame + packed;
    closeChunk(f + endAt, "IEND", 0);
    return {f, endAt + kChunkFrame};
}

bool PngFrameEncoder::write(const std::string& path, const PngPixels& pixels, std::string* error) {
    const Bytes bytes = encode(pixels);
    if (bytes.size == 0) {
        if (error) *error = "bad picture or out of memory";
        return false;
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error) *error = std::strerror(errno);
        return false;
    }
    bool ok = std::fwrite(bytes.data, 1, bytes.size, f) == bytes.size;
    int why = ok ? 0 : errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        why = errno;
    }
    if (!ok && error) *error = why ? std::strerror(why) : "write error";
    return ok;
}
