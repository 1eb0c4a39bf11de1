// The title and credit cards are both a few glowing lines on one text image,
// drawn once at init into a texture that lives until the process ends.
#pragma once

#include <cstddef>
#include <cstdint>

#include "effects/ContentTexts.h"

// Adds each line's glow (cells of cellHeight pixels, blurPasses of blur) to
// canvas, a kTextImageSide-square RGBA image with rows bottom-up.
void drawGlowingLines(uint8_t* canvas, const content::TextLine* lines, size_t count, int cellHeight, int blurPasses);

// The GL name of a texture holding what build draws on a cleared text image.
uint32_t createTextTexture(void (*build)(uint8_t* canvas));
