// PNG files two ways.  encodePng goes through libpng and zlib: the content
// generator's pictures, the same bytes run after run.  PngFrameEncoder is the
// capture's: thousands of frames, where zlib costs more than drawing them, so
// the image data goes through libdeflate and the few chunks around it are
// written here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct libdeflate_compressor;

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

// The format's row filters; Adaptive picks for each row the one whose bytes,
// read as signed, sum smallest in magnitude.
enum class PngFilter : uint8_t { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4, Adaptive = 5 };

// One per thread: keeps its compressor and buffers from frame to frame.
class PngFrameEncoder {
public:
    // level is libdeflate's: 1 (fastest) to 12 (smallest).
    PngFrameEncoder(PngFilter filter, int level);
    ~PngFrameEncoder();
    PngFrameEncoder(const PngFrameEncoder&) = delete;
    PngFrameEncoder& operator=(const PngFrameEncoder&) = delete;

    struct Bytes {
        const uint8_t* data = nullptr;
        size_t         size = 0;   // 0: the picture is unusable or memory ran out
    };
    // The whole file, valid until the next call.
    Bytes encode(const PngPixels& pixels);

    // False, with the reason in *error, when it cannot be written (a disk
    // that fills up included).
    bool write(const std::string& path, const PngPixels& pixels, std::string* error = nullptr);

private:
    PngFilter              filter_;
    int                    level_;
    libdeflate_compressor* compressor_ = nullptr;   // owned; made at the first frame
    // Grown as needed, never shrunk nor cleared: a fresh frame's worth of
    // zeros would cost a page fault per 4 KiB.
    std::vector<uint8_t>   filtered_;   // filter byte and row, per row: what the image data compresses
    std::vector<uint8_t>   file_;       // room for the largest file libdeflate may make
    std::vector<uint8_t>   rows_;       // unfiltered rows and per-row candidates
};
