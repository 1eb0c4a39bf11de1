// The one JPEG of the content (the setup dialog's preview), through
// libjpeg-turbo with its exact integer transform, so the same library gives
// the same bytes on every run.
#pragma once

#include <cstdint>
#include <vector>

namespace gen {

// width x height RGB pixels, top row first; quality 1 .. 100 as libjpeg
// scales the standard tables.  4:4:4, standard Huffman tables, no restarts.
// Throws std::runtime_error when the library gives up.
std::vector<uint8_t> encodeJpeg(int width, int height, const uint8_t* rgb, int quality);

}  // namespace gen
