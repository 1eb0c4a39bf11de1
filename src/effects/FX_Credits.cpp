#include "effects/FX_Credits.h"

#include <iterator>

#include <epoxy/gl.h>

#include "effects/Camera.h"
#include "effects/TextCard.h"

namespace {

constexpr int kBlurPasses = 2;
constexpr float kTilt = -10.0f;   // degrees about x

// Bands of t holding each page; t = 1 is the top of the text image.
struct Band { float bottom, top; };
constexpr Band kPageBands[FX_Credits::kPages] = {{0.76171875f, 1.0f}, {0.41015625f, 0.76171875f}, {0.1f, 0.41015625f}};

// The card: 4 x 1.2 units, one unit in front of the turning axis.
constexpr float kHalfWidth = 2.0f, kHalfHeight = 0.6f, kDistance = 1.0f;

// Turn degrees (as whole degrees mod 360) where the card shows its back,
// and past which the next page change is allowed again.
constexpr uint32_t kBackFrom = 180, kBackTo = 200, kRearm = 220;

}  // namespace

void FX_Credits::buildImage(uint8_t* canvas) {
    drawGlowingLines(canvas, content::kCreditLines, std::size(content::kCreditLines), content::kCreditCellHeight,
                     kBlurPasses);
}

void FX_Credits::init() {
    camera_ = Camera{{0, 0, 0}, {0, 1, 0}, {0, 1, 5}, 0.1f, 100.0f, 45.0f};
    texture_ = createTextTexture(buildImage);
}

void FX_Credits::start() {
    glActiveTextureARB(GL_TEXTURE1);
    glDisable(GL_TEXTURE_2D);
    glActiveTextureARB(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glBindTexture(GL_TEXTURE_2D, texture_);
    applyCamera(camera_, demo_.aspect());
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
    glClearColor(0, 0, 0, 0);
    // Lighting, colour material and fog stay as the previous effect left them.
}

float FX_Credits::cardAngle(uint32_t t) {
    // 2.6 turns per 12 bars of 1.8 s, worked in long double and rounded once.
    return float((long double)t / 1800.0L / 12.0L * 360.0L * 2.6L - 250.0L);
}

void FX_Credits::turnPage(float a) {
    // Whole degrees as the low 32 bits of a 64-bit integer, so a negative
    // angle counts on from 2^32.
    const uint32_t e = uint32_t(int64_t(a)) % 360;
    if (e > kBackFrom && e < kBackTo && armed_) {
        ++page_;
        armed_ = false;
    }
    if (e > kRearm) armed_ = true;
}

void FX_Credits::render(uint32_t time_ms, uint32_t) {
    const float a = cardAngle(time_ms);
    glPushMatrix();
    glRotatef(kTilt, 1, 0, 0);
    glRotatef(a, 0, 1, 0);
    if (page_ < kPages) {
        const Band band = kPageBands[page_];
        glBegin(GL_TRIANGLE_STRIP);
        glColor3f(1, 1, 1);
        glTexCoord2f(0, band.bottom); glVertex3f(-kHalfWidth, -kHalfHeight, kDistance);
        glTexCoord2f(0, band.top);    glVertex3f(-kHalfWidth, kHalfHeight, kDistance);
        glTexCoord2f(1, band.bottom); glVertex3f(kHalfWidth, -kHalfHeight, kDistance);
        glTexCoord2f(1, band.top);    glVertex3f(kHalfWidth, kHalfHeight, kDistance);
        glEnd();
    }
    turnPage(a);
    glPopMatrix();
}
