#include "resources/PngWriter.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

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

bool run(const PngPixels& p, int level, std::vector<uint8_t>* memory, FILE* file, std::string& why) {
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
        if (memory) png_set_write_fn(png, memory, appendTo, flushNothing);
        else png_init_io(png, file);
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
    if (!run(pixels, level, &out, nullptr, why)) out.clear();
    return out;
}

bool writePng(const std::string& path, const PngPixels& pixels, int level, std::string* error) {
    std::string why;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        if (error) *error = std::strerror(errno);
        return false;
    }
    errno = 0;
    bool ok = run(pixels, level, nullptr, f, why);
    if (!ok && errno) why = std::strerror(errno);   // libpng only says "Write Error"
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        why = std::strerror(errno);
    }
    if (!ok && error) *error = why;
    return ok;
}
