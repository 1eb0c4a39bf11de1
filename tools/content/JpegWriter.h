// A baseline JPEG encoder: the one JPEG of the content (the setup dialog's
// preview) is written by our own code so its bytes do not depend on which
// libjpeg build or SIMD path a machine has.
#pragma once

#include <cstdint>
#include <vector>

namespace gen {

// width x height RGB pixels, top row first; quality 1 .. 100 as libjpeg
// scales the standard tables.  4:4:4, standard Huffman tables, no restarts.
std::vector<uint8_t> encodeJpeg(int width, int height, const uint8_t* rgb, int quality);

}  // namespace gen
