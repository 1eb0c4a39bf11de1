// The capture's PNG encoder, read back by libpng: every filter, both layouts
// it is given and sizes where the filters' edges matter decode to the pixels
// they were made from.
#include <gtest/gtest.h>

#include <png.h>

#include <vector>

#include "resources/PngWriter.h"

namespace {

using Bytes = std::vector<uint8_t>;

// What libpng makes of the file, in the stored layout; empty when it refuses.
Bytes decode(PngFrameEncoder::Bytes file, int channels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data, file.size)) return {};
    image.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    Bytes pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return {};
    return pixels;
}

// Steep ramps and noise: every filter's sums wrap somewhere.
Bytes picture(size_t bytes) {
    Bytes p(bytes);
    uint32_t seed = 99;
    for (size_t i = 0; i < bytes; ++i) p[i] = uint8_t(i % 7 < 3 ? i * 37 : (seed = seed * 1103515245 + 12345) >> 24);
    return p;
}

}  // namespace

TEST(PngWriter, EveryFilterDecodesToTheSamePixels) {
    for (int filter = 0; filter <= int(PngFilter::Adaptive); ++filter) {
        PngFrameEncoder encoder(PngFilter(filter), 1);
        for (auto [w, h] : {std::pair{1, 1}, {1, 9}, {13, 5}, {64, 3}}) {
            for (int channels : {3, 4}) {
                const Bytes packed = picture(size_t(w) * h * channels);
                EXPECT_EQ(decode(encoder.encode(packedPixels(w, h, channels, packed.data())), channels), packed)
                    << "filter " << filter << ", " << w << " x " << h << " x " << channels;
            }
            // As the read-back gives it: RGBX, bottom row first.
            const Bytes rgbx = picture(size_t(w) * h * 4);
            PngPixels p{w, h, 3, true, rgbx.data() + size_t(w) * 4 * (h - 1), -ptrdiff_t(w) * 4};
            Bytes topDownRgb;
            for (int y = h - 1; y >= 0; --y)
                for (int x = 0; x < w; ++x)
                    topDownRgb.insert(topDownRgb.end(), &rgbx[(size_t(y) * w + x) * 4], &rgbx[(size_t(y) * w + x) * 4 + 3]);
            EXPECT_EQ(decode(encoder.encode(p), 3), topDownRgb) << "filter " << filter << ", RGBX " << w << " x " << h;
        }
    }
}
