// The desktop launcher's icon, made like the rest of the content.
#pragma once

#include <cstdint>
#include <vector>

namespace gen {

constexpr int kIconSize = 128;   // pixels, square: the hicolor theme's 128x128 size

// A PNG with alpha: the show's title ring and initial on a rounded night-blue tile.
std::vector<uint8_t> iconPng();

}  // namespace gen
