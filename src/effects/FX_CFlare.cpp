#include "effects/FX_CFlare.h"

#include <cmath>

#include <epoxy/gl.h>

#include "effects/Billboard.h"
#include "effects/Camera.h"
#include "resources/Image.h"

namespace {

constexpr const char* kTextureName = "cflare/FLARE.png";
constexpr int kLayerSet = 1;

// Field and sprites.
constexpr float kBallStrength = 6.0f;        // field = strength / squared distance, per ball
constexpr float kFieldCeiling = 0.4f;        // field values above this all look the same
constexpr float kSizeDropAbove = 0.2f;       // brightness where the sprite size drops
constexpr float kSpriteEdge = 0.05f;         // sprite quad, corner at the origin
constexpr float kSpriteScale = 0.85f;
constexpr float kSpacing = 0.05f;            // grid units to cube units
constexpr int   kGridCentre = 8;
constexpr float kTint[3] = {0.26274511f, 0.38823530f, 0.48627451f};   // (67, 99, 124) / 255
constexpr float kTintScale = 0.69f;

// Motion.
constexpr float kPulseTurnDegrees = 1.5f;    // each shared angle, per pulse step
constexpr float kPulsePhaseStep = 0.35f;
constexpr float kMsPerPhase = 1000.0f;       // the phase grows by one per second of frames
constexpr float kCubeOffset[3] = {0.25f, 0.3f, -0.5f};

// Start positions: A in a corner, B and C together.
constexpr cflare::Balls kFirstBalls = {{{15.0f, 15.0f, 12.5f}, {10.0f, 16.0f, 12.5f}, {10.0f, 16.0f, 12.5f}}};

float sinf64(float a) { return float(std::sin(double(a))); }
float cosf64(float a) { return float(std::cos(double(a))); }

}  // namespace

namespace cflare {

Balls ballsAt(float phase) {
    // The multiples are rounded to floats before their sines, as the paths
    // were always computed.
    const float twice = 2.0f * phase, a12 = 1.2f * phase, a14 = 1.4f * phase;
    Balls b;
    b.centre[0] = {7.0f * sinf64(phase) + 8.0f, 7.0f * cosf64(phase) + 8.0f, 7.0f * cosf64(twice) + 8.0f};
    b.centre[1] = {6.0f * cosf64(phase) + 7.0f, 6.0f * sinf64(a12) + 7.0f, 6.0f * cosf64(a14) + 7.0f};
    b.centre[2] = {7.0f * cosf64(phase) + 9.0f, 7.0f * sinf64(phase) + 9.0f, 7.0f * sinf64(twice) + 9.0f};
    return b;
}

void computeField(const Balls& balls, const float squares[kGrid], float* field) {
    // Along k the squared distance is k^2 - 2xk + x^2 plus a per-row part,
    // so the inner loop is two multiply-adds and a division per ball.
    float xSquared[kBalls], xTwice[kBalls];
    for (int b = 0; b < kBalls; ++b) {
        xSquared[b] = balls.centre[b].x * balls.centre[b].x;
        xTwice[b] = 2.0f * balls.centre[b].x;
    }
    float* out = field;
    for (int i = 0; i < kGrid; ++i) {
        for (int j = 0; j < kGrid; ++j) {
            float row[kBalls];
            for (int b = 0; b < kBalls; ++b) {
                const float dz = float(i) - balls.centre[b].z, dy = float(j) - balls.centre[b].y;
                row[b] = dz * dz + dy * dy;
            }
            for (int k = 0; k < kGrid; ++k) {
                float sum = 0.0f;
                for (int b = 0; b < kBalls; ++b) {
                    const float d = row[b] + squares[k] - xTwice[b] * float(k) + xSquared[b];
                    sum += kBallStrength / d;
                }
                *out++ = sum;
            }
        }
    }
}

SpriteLook spriteLook(float value) {
    const float v = value > kFieldCeiling ? kFieldCeiling : value;
    const float b = v / kFieldCeiling;
    return {b, {kTint[0] * b * kTintScale, kTint[1] * b * kTintScale, kTint[2] * b * kTintScale},
            b > kSizeDropAbove ? b - kSizeDropAbove : b};
}

}  // namespace cflare

using namespace cflare;

FX_CFlare::FX_CFlare(DemoContext& demo) : IEffect("CFlare"), demo_(demo) {}

DataFileNeeds FX_CFlare::dataFiles() const { return withLayerSet(kLayerSet, {{kTextureName}}); }

void FX_CFlare::init() {
    loadLayerSet(layers_, kLayerSet, *demo_.files);
    for (int k = 0; k < kGrid; ++k) squares_[k] = float(k * k);
    field_ = static_cast<float*>(allocZeroed(kCells * sizeof(float)));
    texture_ = loadTexture(kTextureName, *demo_.files);
    balls_ = kFirstBalls;
    camera_ = Camera{{0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 1.0f, -1.25f}, 0.1f, 100.0f, 45.0f};

    spriteList_ = compileSpriteList(kSpriteEdge);
}

void FX_CFlare::start() {
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    applyCamera(camera_, demo_.aspect());
    glDisable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

void FX_CFlare::pulse(uint32_t time_ms) {
    if (!rhythm_.advance(time_ms).step) return;
    demo_.angles.angleX += kPulseTurnDegrees;
    demo_.angles.angleY += kPulseTurnDegrees;
    demo_.angles.angleZ += kPulseTurnDegrees;
    phase_ += kPulsePhaseStep;
}

void FX_CFlare::drift(uint32_t delta_ms) {
    balls_ = ballsAt(phase_);
    phase_ += float(delta_ms) / kMsPerPhase;
}

void FX_CFlare::updateField() {
    if (field_) computeField(balls_, squares_, field_);
}

void FX_CFlare::render(uint32_t time_ms, uint32_t delta_ms) {
    pulse(time_ms);

    const SharedAngles& angles = demo_.angles;
    glPushMatrix();
    glTranslatef(kCubeOffset[0], kCubeOffset[1], kCubeOffset[2]);
    glRotatef(angles.angleX, 1.0f, 0.0f, 0.0f);
    glRotatef(angles.angleY, 0.0f, 1.0f, 0.0f);
    glRotatef(angles.angleZ, 0.0f, 0.0f, 1.0f);
    drawBackground(layers_);

    updateField();
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
    if (field_) {
        forEachSprite(field_, [this](int i, int j, int k, SpriteLook look) {
            glColor3f(look.colour.x, look.colour.y, look.colour.z);
            const float x = float(k - kGridCentre) * kSpacing, y = float(j - kGridCentre) * kSpacing,
                        z = float(i - kGridCentre) * kSpacing;
            const float s = kSpriteScale * look.size;
            glTranslatef(x, y, z);
            glPushMatrix();
            faceScreen();
            glScalef(s, s, s);
            glCallList(spriteList_);
            glPopMatrix();
            glTranslatef(-x, -y, -z);
        });
    }

    drawOverlay(layers_);
    glPopMatrix();

    drift(delta_ms);
}

void FX_CFlare::release() {
    freeBlock(field_);
    field_ = nullptr;
}
