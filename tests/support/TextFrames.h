// Where text lies in a rendered frame, for the tests of the text effects:
// the box of the pixels brighter than a level, and device coordinates as
// frame pixels.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace hlvtest {

// Pixel bounds, x from the left, y from the top, inclusive; empty when
// right < left.
struct PixelBox {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
    bool empty() const { return right < left; }
    bool inside(double l, double t, double r, double b) const {
        return left >= l && top >= t && right <= r && bottom <= b;
    }
};

// Box of the pixels of an RGBA frame (top row first) whose green byte is
// above level.
inline PixelBox brighterThan(const std::vector<uint8_t>& rgba, int width, int height, int level) {
    PixelBox box;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (rgba[(size_t(y) * width + x) * 4 + 1] > level) {
                box.left = std::min(box.left, x), box.right = std::max(box.right, x);
                box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
            }
    return box;
}

// Frame pixel of a normalised device coordinate.
inline double screenX(double ndc, int width) { return (ndc + 1.0) / 2.0 * width; }
inline double screenY(double ndc, int height) { return (1.0 - ndc) / 2.0 * height; }

}  // namespace hlvtest
