#include "effects/TextCard.h"

#include <epoxy/gl.h>

#include "resources/Image.h"
#include "resources/TextRaster.h"

namespace {

constexpr float kEchoShrinkPerSecond = 0.2f;   // growth lost per second of frame time

}  // namespace

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

void drawEchoes(const TextBand& band, int layers, float grey, float dim, float growth, bool mirrored) {
    const float sRight = mirrored ? 0.0f : 1.0f, sLeft = 1.0f - sRight;
    const float x = band.x, y = band.y;
    for (int i = 0; i < layers; ++i) {
        const float g = 1.0f + float(i) * growth;
        const float w = band.halfWidth * g, h = band.halfHeight * g;
        const float c = grey - dim * float(i);
        glBegin(GL_TRIANGLE_STRIP);
        glColor3f(c, c, c);
        glTexCoord2f(sRight, band.tBottom); glVertex3f(x + w, y - h, 0);
        glTexCoord2f(sLeft, band.tBottom);  glVertex3f(x - w, y - h, 0);
        glTexCoord2f(sRight, band.tTop);    glVertex3f(x + w, y + h, 0);
        glTexCoord2f(sLeft, band.tTop);     glVertex3f(x - w, y + h, 0);
        glEnd();
    }
}

float shrinkEcho(float growth, uint32_t dt) {
    return growth > 0.0f ? growth - float(dt) / 1000.0f * kEchoShrinkPerSecond : 0.0f;
}
