#include "effects/FX_Lines.h"

#include <cmath>

#include <epoxy/gl.h>

namespace {

constexpr int kLayerSet = 2;

// Offsets: a draw of 0 ... 32767 over 65536, times these, so each lies in
// [0, scale / 2).  The first step is a draw over 65536 times kFirstStepScale.
constexpr double kSpreadXY = 0.55;
constexpr double kSpreadZ = 0.75;
constexpr double kFirstStepScale = -0.1;
constexpr double kDrawRange = 65536.0;

// The fan.
constexpr float kJump = 2.5f;             // added to the phase as a beat starts
constexpr float kJumpStep = 0.05f;        // added on each step of the beat
constexpr float kMsPerStep = 500.0f;      // the common step grows by one each 500 ms of music
constexpr float kWobble = 0.15f;          // how far a bar's centre swings with its step
constexpr float kShiftX = 0.1f;           // the fan's centre, right of the view axis
constexpr float kDepth = 1.0f;            // bars lie this far in front of the eye, less their z offset
constexpr float kHalfLength = 1.9f;
constexpr float kHalfWidth = 0.015f;
constexpr float kColour[3] = {0.13254903f, 0.15607844f, 0.2f};   // 0.2 * (169, 199, 255) / 255

float sinf64(float a) { return float(std::sin(double(a))); }
float cosf64(float a) { return float(std::cos(double(a))); }

}  // namespace

FX_Lines::FX_Lines(DemoContext& demo) : IEffect("Lines"), demo_(demo) {}

DataFileNeeds FX_Lines::dataFiles() const { return withLayerSet(kLayerSet); }

void FX_Lines::init() {
    loadLayerSet(layers_, kLayerSet, *demo_.files);
    placeBars();
}

void FX_Lines::placeBars() {
    DemoRandom& random = demo_.random;
    random.seed(kSeed);
    for (uint32_t i = 0; i < lineCount_; ++i) {
        offsetX_[i] = float(double(random.next() % 65536) / kDrawRange * kSpreadXY);
        offsetY_[i] = float(double(random.next() % 65536) / kDrawRange * kSpreadXY);
        offsetZ_[i] = float(double(random.next() % 65536) / kDrawRange * kSpreadZ);
        angle_[i] = float(double(random.next() % 65536) / kDrawRange * kFirstStepScale);
    }
}

void FX_Lines::start() {
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_BLEND);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
}

void FX_Lines::pulse(uint32_t time_ms) {
    const RhythmEvents events = rhythm_.advance(time_ms);
    if (events.step) linesPhase_ += kJumpStep;
    if (events.started) linesPhase_ += kJump;
}

Vec3 FX_Lines::barCentre(uint32_t i) const {
    const float d = angle_[i];
    return {kWobble * sinf64(d) + offsetX_[i], kWobble * cosf64(d) + offsetY_[i], kWobble * sinf64(d / 2.0f) + offsetZ_[i]};
}

void FX_Lines::settle(uint32_t time_ms) {
    const float step = float(time_ms) / kMsPerStep + linesPhase_;
    for (uint32_t i = 0; i < lineCount_; ++i) angle_[i] = step;
}

void FX_Lines::render(uint32_t time_ms, uint32_t /*delta_ms*/) {
    pulse(time_ms);

    glPushMatrix();
    drawBackground(layers_);
    glLoadIdentity();
    glTranslatef(kShiftX, 0.0f, 0.0f);

    // The turns are not undone between bars: bar i turns by the sum of the
    // first i + 1 steps, which is what opens the fan.
    for (uint32_t i = 0; i < lineCount_; ++i) {
        const Vec3 c = barCentre(i);
        glRotatef(angle_[i], 0.0f, 0.0f, 1.0f);
        glColor3f(kColour[0], kColour[1], kColour[2]);
        const float z = c.z - kDepth;
        glBegin(GL_TRIANGLE_STRIP);
        glVertex3f(c.x - kHalfLength, c.y - kHalfWidth, z);
        glVertex3f(c.x + kHalfLength, c.y - kHalfWidth, z);
        glVertex3f(c.x - kHalfLength, c.y + kHalfWidth, z);
        glVertex3f(c.x + kHalfLength, c.y + kHalfWidth, z);
        glEnd();
    }
    settle(time_ms);

    drawOverlay(layers_);
    glPopMatrix();
}
