// PNG files through libpng: the capture tool writes every frame with it and
// the content generator every picture.  The same libpng and zlib give the
// same bytes, run after run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// 8-bit pixels as they lie in memory, rows in any order.
struct PngPixels {
    int            width = 0;        // pixels
    int            height = 0;       // pixels
    int            channels = 3;     // stored: 3 (RGB) or 4 (RGBA)
    bool           skipFourth = false;   // RGB stored from 4-byte RGBX pixels, the 4th byte dropped
    const uint8_t* top = nullptr;    // first byte of the picture's top row; not owned
    ptrdiff_t      stride = 0;       // bytes from one row to the row below it; negative for bottom-up memory
};

// Tightly packed pixels, top row first.
PngPixels packedPixels(int width, int height, int channels, const uint8_t* pixels);

// level is zlib's 1 (fastest: one cheap filter and run-length matches only)
// to 9 (smallest); from 2 up libpng picks a filter per row.
std::vector<uint8_t> encodePng(const PngPixels& pixels, int level = 6);

// Encodes straight into the file.  False, with the reason in *error, when it
// cannot be written (a disk that fills up included).
bool writePng(const std::string& path, const PngPixels& pixels, int level, std::string* error = nullptr);
