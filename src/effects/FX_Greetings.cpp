#include "effects/FX_Greetings.h"

#include <algorithm>

#include <epoxy/gl.h>

#include "effects/ContentTexts.h"
#include "effects/TextCard.h"
#include "resources/Image.h"
#include "resources/TextRaster.h"

namespace {

constexpr int kBlurPasses = 1;
constexpr int kLinePitch = 85;                 // pixels between names in a page image
constexpr float kBandT = 85.0f / 512.0f;       // texture height of one name
constexpr float kBrightness = 0.5f;            // grey of the base layer
constexpr float kEchoDim = 0.05f;              // each echo that much darker
constexpr float kEchoGrowth = 0.2f;
constexpr float kLineDrop = 0.25f;             // device units per step
constexpr float kLowestLine = -0.75f;          // below this the page turns
constexpr float kPageTopY = 0.6f;
constexpr float kHalfWidth = 0.5f, kHalfHeight = 0.2f;
constexpr float kBackground = 0.7f;            // light grey clear

static_assert(content::kGreetingSlots == FX_Greetings::kPages * FX_Greetings::kLinesPerPage);

}  // namespace

void FX_Greetings::buildPage(int p, uint8_t* canvas, uint8_t* scratch) {
    std::fill(canvas, canvas + kTextImageBytes, 0);
    for (int i = 0; i < kLinesPerPage; ++i) {
        const content::Greeting& g = content::kGreetings[p * kLinesPerPage + i];
        addGlowingLine(canvas, scratch, content::greetingX(g), kLinePitch * i, content::kGreetingCellHeight, g.name,
                       kBlurPasses);
    }
    // The quads show the texture mirrored, so the image is mirrored too.
    uint32_t* pixels = reinterpret_cast<uint32_t*>(canvas);
    for (int row = 0; row < kTextImageSide; ++row)
        std::reverse(pixels + row * kTextImageSide, pixels + (row + 1) * kTextImageSide);
}

void FX_Greetings::init() {
    uint8_t* canvas = static_cast<uint8_t*>(allocZeroed(kTextImageBytes));
    uint8_t* scratch = static_cast<uint8_t*>(allocZeroed(kTextImageBytes));
    for (int p = 0; p < kPages; ++p) {
        buildPage(p, canvas, scratch);
        pageTextures_[p] = createTexture(PixelImage{kTextImageSide, kTextImageSide, 4, canvas});
    }
    freeBlock(scratch);
    freeBlock(canvas);
}

void FX_Greetings::start() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glFrontFace(GL_CW);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glActiveTextureARB(GL_TEXTURE1);
    glDisable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glClearColor(kBackground, kBackground, kBackground, 0);
    // Lighting, colour material and fog stay as the previous effect left them.
}

bool FX_Greetings::advance(uint32_t t) {
    if (t <= lastStepTime_ + kStepMs) return false;
    lastStepTime_ = t;
    echoGrowth_ = kEchoGrowth;
    ++step_;
    lineY_ -= kLineDrop;
    if (lineY_ < kLowestLine) {
        ++page_;
        lineY_ = kPageTopY;
    }
    return true;
}

void FX_Greetings::shrinkEchoes(uint32_t dt) { echoGrowth_ = shrinkEcho(echoGrowth_, dt); }

void FX_Greetings::render(uint32_t time_ms, uint32_t delta_ms) {
    glPushMatrix();
    glBindTexture(GL_TEXTURE_2D, pageTextures_[page_ % kPages]);   // the page before this frame's step
    advance(time_ms);

    // Before the first step no name has been shown: the band would lie
    // above the image, so nothing is drawn.
    if (step_ > 0) {
        // Past the sixth name the band runs below t = 0 and the texture
        // repeats: each page's names sit 2 texels higher than the last's.
        const TextBand band{lineX_, lineY_, kHalfWidth, kHalfHeight, 1.0f - float(step_) * kBandT,
                            1.0f - float(step_ - 1) * kBandT};
        drawEchoes(band, kLayers, kBrightness, kEchoDim, echoGrowth_, true);
    }

    shrinkEchoes(delta_ms);
    glPopMatrix();
}
