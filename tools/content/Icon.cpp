#include "Icon.h"

#include "Looks.h"
#include "Noise.h"
#include "Pictures.h"
#include "resources/PngWriter.h"

namespace gen {

namespace {

constexpr int N = kIconSize;
constexpr double kCorner = N * 0.18;     // pixels, radius of the tile's rounded corners
constexpr double kRing = N * 0.36;       // pixels, radius of the ring
constexpr double kGlyph = N * 0.56;      // pixels to the em of the initial
constexpr int kPngLevel = 6;

// The tile: a square with rounded corners, anti-aliased at its edge.
Plane tile() {
    Plane a(N, N);
    fillRect(a, kCorner, 0, N - kCorner, N);
    fillRect(a, 0, kCorner, N, N - kCorner);
    for (double cx : {kCorner, N - kCorner})
        for (double cy : {kCorner, N - kCorner}) fillEllipse(a, cx, cy, kCorner, kCorner);
    return a;
}

}  // namespace

std::vector<uint8_t> iconPng() {
    const ScreenMap square{N, N, 1.0};
    Picture pic = nebula(N, N, 7301, 0.9, square);

    Plane ring(N, N);
    strokeEllipse(ring, N * 0.5, N * 0.5, kRing, kRing, 2.0);
    addLight(pic, blur(ring, 6), palette::kSteel, 1.4);
    addLight(pic, ring, palette::kIce, 0.9);

    const Fonts fonts;
    Plane initial(N, N);
    fonts.bold.drawCentred(initial, "H", N * 0.5, N * 0.5 + kGlyph * 0.36, kGlyph);
    glowInk(pic, initial, palette::kWhite, palette::kFrost, 5, 0.9);

    const Plane alpha = tile();
    const std::vector<uint8_t> bytes = toBytes(pic, &alpha);
    return encodePng(packedPixels(N, N, 4, bytes.data()), kPngLevel);
}

}  // namespace gen
