// Every picture of the default content, one function each.  All are pure:
// same arguments, same pixels.
#pragma once

#include "Raster.h"
#include "Text.h"

namespace gen {

constexpr int kTextureSize = 256;   // effect textures: repeated or small on screen
constexpr int kScreenSize = 512;    // full-screen pictures and layers
constexpr int kHeightMapSize = 512;
constexpr int kMenuWidth = 512, kMenuHeight = 359;

struct Fonts {
    Font regular{false};
    Font bold{true};
};

// --- effect textures (RGB, kTextureSize square) ---------------------------
Picture tunnelTexture();      // wall plates; tiles
Picture knotTexture();        // blue marble; tiles
Picture metaballsTexture();   // liquid cells; tiles
Picture sphereTexture();      // bright vein network, added on the sphere; tiles
Picture cubeMorphTexture();   // panelled tile; repeats twice per cube face
Picture cubeFloorTexture();   // bright sky seen in a mirror ball
Picture columnTexture();      // studio light seen in a mirror ball
Picture goaTexture();         // glowing grid over the interference hills; tiles
Picture groundTexture();      // rock, tiled once per landscape unit
Picture shineTexture();       // sun glint and horizon seen in a mirror ball
Picture flareTexture(bool starry);   // radial glow with rays, black at the rim

// --- screen layers ---------------------------------------------------------
struct LayerPictures {
    Picture background;   // behind the scene
    Picture foreground;   // added over the masked scene
    Picture mask;         // grey: white keeps the scene, black leaves the foreground alone
};
// Layer sets 1 to 6, 8 and 9, each framed for the effect that uses it.
LayerPictures layerSet(int n, const Fonts& fonts);

// --- still pictures --------------------------------------------------------
Picture loadingBackground();
struct RgbaPicture {
    Picture colour;
    Plane alpha;
};
// Drawn over the background and the progress bar: clear where the bar grows.
RgbaPicture loadingOverlay(const Fonts& fonts);
Picture menuPicture(const Fonts& fonts);    // kMenuWidth x kMenuHeight, shown unscaled
Picture finalPicture(const Fonts& fonts);

// The landscape's heights, 0 .. 1, kHeightMapSize square.
Plane heightMap();

// Where the loading screen's progress bar lies, in normalised device
// coordinates; the overlay keeps this window (and a margin) transparent.
struct ScreenRect {
    double left, right, bottom, top;
};
constexpr ScreenRect kProgressBar = {-0.219, 0.225, -0.439, -0.415};

}  // namespace gen
