#include "effects/FX_Present.h"

#include <iterator>

#include <epoxy/gl.h>

#include "effects/TextCard.h"

namespace {

constexpr int kBlurPasses = 1;
constexpr float kBandT = 85.0f / 512.0f;       // texture height of one line
constexpr float kBrightness = 0.3f;            // grey of the base layer
constexpr float kEchoDim = 0.05f;              // each echo that much darker
constexpr float kEchoGrowth = 0.2f;            // scale step right after a change
constexpr float kLineDrop = 0.56f;             // device units per change
constexpr float kShiftX = -0.5f;
constexpr float kHalfWidth = 0.65f, kHalfHeight = 0.3f;

}  // namespace

void FX_Present::buildImage(uint8_t* canvas) {
    drawGlowingLines(canvas, content::kPresentLines, std::size(content::kPresentLines), content::kPresentCellHeight,
                     kBlurPasses);
}

void FX_Present::init() { texture_ = createTextTexture(buildImage); }

void FX_Present::start() {
    glActiveTextureARB(GL_TEXTURE1);
    glDisable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glFrontFace(GL_CW);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
    glClearColor(0, 0, 0, 0);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_DEPTH_TEST);
    // Culling and fog stay as the previous effect left them.
}

float FX_Present::advance(uint32_t t) {
    // The marks are absolute music times; 64 bits so they never wrap.
    if (uint64_t(t) <= (uint64_t(advances_) + 1) * kAdvanceMs) return kBrightness;
    ++advances_;
    ++line_;
    echoGrowth_ = kEchoGrowth;
    lineY_ -= kLineDrop;
    return 0.0f;   // one black frame
}

void FX_Present::shrinkEchoes(uint32_t dt) { echoGrowth_ = shrinkEcho(echoGrowth_, dt); }

void FX_Present::render(uint32_t time_ms, uint32_t delta_ms) {
    glPushMatrix();
    const float brightness = advance(time_ms);
    glTranslatef(kShiftX, 0, 0);

    const TextBand band{lineX_, lineY_, kHalfWidth, kHalfHeight, 1.0f - float(line_) * kBandT,
                        1.0f - float(line_ - 1) * kBandT};
    drawEchoes(band, kLayers, brightness, kEchoDim, echoGrowth_, false);

    shrinkEchoes(delta_ms);
    glPopMatrix();
}
