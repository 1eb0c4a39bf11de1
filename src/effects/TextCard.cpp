#include "effects/TextCard.h"

#include "resources/Image.h"
#include "resources/TextRaster.h"

void drawGlowingLines(uint8_t* canvas, const content::TextLine* lines, size_t count, int cellHeight, int blurPasses) {
    uint8_t* scratch = static_cast<uint8_t*>(allocZeroed(kTextImageBytes));
    for (size_t i = 0; i < count; ++i)
        addGlowingLine(canvas, scratch, lines[i].x, lines[i].y, cellHeight, lines[i].text, blurPasses);
    freeBlock(scratch);
}

uint32_t createTextTexture(void (*build)(uint8_t* canvas)) {
    uint8_t* canvas = static_cast<uint8_t*>(allocZeroed(kTextImageBytes));
    build(canvas);
    const uint32_t texture = createTexture(PixelImage{kTextImageSide, kTextImageSide, 4, canvas});
    freeBlock(canvas);
    return texture;
}
