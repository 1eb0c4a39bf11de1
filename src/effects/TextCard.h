// The text cards (title, greetings, credits) are glowing lines on text
// images drawn once at init into textures that live until the process ends;
// the title and the greetings show one band of such an image at a time,
// with echoes that shrink onto it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "effects/ContentTexts.h"

// Adds each line's glow (cells of cellHeight pixels, blurPasses of blur) to
// canvas, a kTextImageSide-square RGBA image with rows bottom-up.
void drawGlowingLines(uint8_t* canvas, const content::TextLine* lines, size_t count, int cellHeight, int blurPasses);

// The GL name of a texture holding what build draws on a cleared text image.
uint32_t createTextTexture(void (*build)(uint8_t* canvas));

// One band of a text image on a quad in the XY plane.
struct TextBand {
    float x, y;                   // quad centre, device units
    float halfWidth, halfHeight;  // the band itself, device units
    float tBottom, tTop;          // texture rows of the band
};

// The band, then layers - 1 echoes, the i-th (1 + i * growth) times as large
// and i * dim greyer, as one triangle strip each.  mirrored puts the image's
// left edge on the right, for images built mirrored.
void drawEchoes(const TextBand& band, int layers, float grey, float dim, float growth, bool mirrored);

// The echo growth after dt ms of frame time: it shrinks steadily, and the
// frame after it drops below 0 it settles at 0.
float shrinkEcho(float growth, uint32_t dt);
