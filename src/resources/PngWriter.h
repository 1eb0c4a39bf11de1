// A small PNG encoder over zlib: the capture tool writes every frame with it
// and the content generator every picture, so both are byte-for-byte
// repeatable (same zlib, same bytes) and need no image library to save.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Encodes width x height pixels, top row first, channels 3 (RGB) or 4 (RGBA),
// 8 bits each.  level is zlib's 0 (store) to 9 (smallest).
std::vector<uint8_t> encodePng(int width, int height, int channels, const uint8_t* pixels,
                               int level = 6);

// encodePng and write it; false (with errno set) when the file cannot be written.
bool writePng(const std::string& path, int width, int height, int channels, const uint8_t* pixels,
              int level = 6);
